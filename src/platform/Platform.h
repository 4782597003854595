#pragma once

#include "platform/Preferences.h"
#include "store/files/FileCalls.h"

#include <QDate>
#include <QString>
#include <vector>

class QDialog;
class QPrinter;
class QWidget;

// What the windows need from the desktop, behind interfaces so that tests can answer message
// boxes, see shell calls, open modal windows without blocking and pin the date.
namespace platform {

// Message boxes: titles "Error", "Information", "Confirm"; buttons "OK", or "Yes" and "No".
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void error(QWidget *parent, const QString &text) = 0;
    virtual void information(QWidget *parent, const QString &text) = 0;
    // True only when "Yes" is pressed.
    virtual bool confirm(QWidget *parent, const QString &text) = 0;
    // The folder of a catalogue to open, as the file system's bytes; empty when the user cancels.
    virtual QByteArray chooseCatalogue(QWidget *parent) = 0;
    // A file to write, starting at `suggested` (a folder and name); `filters` as Qt's file dialogs
    // take them ("CSV (*.csv)"). The file system's bytes; empty when the user cancels.
    virtual QByteArray chooseFileToSave(QWidget *parent, const QString &title,
                                        const QString &suggested, const QString &filters) = 0;
    // An existing file to read, the same way.
    virtual QByteArray chooseFileToOpen(QWidget *parent, const QString &title,
                                        const QString &filters) = 0;
    // The desktop's print dialog on `printer`; false when the user cancels.
    virtual bool choosePrinter(QWidget *parent, QPrinter &printer) = 0;
    // The password for a catalogue's server, typed hidden; false when the user cancels.
    virtual bool askPassword(QWidget *parent, const QString &server, QString &password) = 0;
};

class Shell {
public:
    enum ShowMode { Normal = 1, Maximized = 3 };
    virtual ~Shell() = default;
    // Opens a document or address with its default program; the result is ignored.
    virtual void open(QWidget *owner, const QString &target, const QString &verb,
                      ShowMode mode) = 0;
    // Starts a program by its path, detached, without arguments.
    virtual void start(const QString &program) = 0;
    // Starts the desktop's default program for a MIME type ("text/plain"), detached, without
    // arguments; false when the desktop names none or it cannot be started.
    virtual bool startDefault(const QString &mimeType) = 0;
};

// Opening a window modally: the caller waits until it closes.
class Modal {
public:
    virtual ~Modal() = default;
    virtual int open(QDialog *dialog) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
    // The short date format of the regional settings, e.g. dd/MM/yyyy.
    virtual QString shortDateFormat() const = 0;
};

// The discs the desktop has mounted, and the user's choice of an image or a folder to read as a
// disc. Paths come as the file system's bytes.
class Discs {
public:
    struct Mounted {
        QString label;   // what the desktop calls the volume
        QByteArray path; // what to read: the device when it can be read, else the mount point
    };
    virtual ~Discs() = default;
    virtual std::vector<Mounted> mounted() const = 0;
    // Empty when the user cancels.
    virtual QByteArray chooseImage(QWidget *parent) = 0;
    virtual QByteArray chooseFolder(QWidget *parent) = 0;
};

// The set handed to every window.
struct Services {
    Dialogs &dialogs;
    Shell &shell;
    Modal &modal;
    Clock &clock;
    store::FileCalls &files; // how the program's own files (listing, backup) are written
    Discs &discs;
    Preferences &preferences; // the user's settings file
};

} // namespace platform
