#pragma once

#include "platform/DialogFolders.h"
#include "platform/Platform.h"

#include <QByteArray>
#include <QUrl>

// The real desktop.
namespace platform {

// What the desktop is asked to open for a link, as the shell would: a text with a URL scheme
// (http:, mailto:, file: ...) as that address, anything else as a file path, relative to the
// working directory when it is not absolute. A path that exists nowhere is handed over all the
// same. The working directory comes as the system's own bytes, since its name need not be valid
// text; the file's address keeps those bytes (its encoded form, not its text, names the file).
QUrl shellTarget(const QString &target, const QByteArray &workingDirectory);

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(Preferences &preferences)
        : folders_(preferences) {}
    void error(QWidget *parent, const QString &text) override;
    void information(QWidget *parent, const QString &text) override;
    bool confirm(QWidget *parent, const QString &text) override;
    QByteArray chooseCatalogue(QWidget *parent) override;
    QByteArray chooseFileToSave(QWidget *parent, const QString &title, const QString &suggested,
                                const QString &filters) override;
    QByteArray chooseFileToOpen(QWidget *parent, const QString &title,
                                const QString &filters) override;
    bool choosePrinter(QWidget *parent, QPrinter &printer) override;
    bool askPassword(QWidget *parent, const QString &server, QString &password) override;

private:
    DialogFolders folders_;
};

class QtShell : public Shell {
public:
    void open(QWidget *owner, const QString &target, const QString &verb, ShowMode mode) override;
    void start(const QString &program) override;
    bool startDefault(const QString &mimeType) override;
};

class QtModal : public Modal {
public:
    int open(QDialog *dialog) override;
};

class QtClock : public Clock {
public:
    QDate today() const override;
    QString shortDateFormat() const override;
};

// Optical discs and removable volumes, from the mounted file systems.
class QtDiscs : public Discs {
public:
    explicit QtDiscs(Preferences &preferences)
        : folders_(preferences) {}
    std::vector<Mounted> mounted() const override;
    QByteArray chooseImage(QWidget *parent) override;
    QByteArray chooseFolder(QWidget *parent) override;

private:
    DialogFolders folders_;
};

// One of each, for the program entry.
struct QtPlatform {
    Preferences preferences{Preferences::userFile()};
    QtDialogs dialogs{preferences};
    QtShell shell;
    QtModal modal;
    QtClock clock;
    QtDiscs discs{preferences};
    Services services() {
        return Services{dialogs, shell,      modal, clock, store::FileCalls::system(),
                        discs,   preferences};
    }
};

} // namespace platform
