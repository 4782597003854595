#pragma once

#include "platform/Platform.h"

#include <QDialog>
#include <QPrinter>
#include <QSet>
#include <QString>
#include <QTemporaryDir>
#include <cerrno>
#include <deque>
#include <functional>
#include <unistd.h>
#include <vector>

// Test doubles for the desktop seams: they record what the program asked for and answer from
// what the test prepared.
class FakeDialogs : public platform::Dialogs {
    static QByteArray next(std::deque<QByteArray> &choices) {
        if (choices.empty())
            return {};
        const QByteArray choice = choices.front();
        choices.pop_front();
        return choice;
    }

public:
    struct Box {
        enum Kind { Error, Information, Confirm } kind;
        QString text;
    };
    void error(QWidget *, const QString &text) override { boxes.push_back({Box::Error, text}); }
    void information(QWidget *, const QString &text) override {
        boxes.push_back({Box::Information, text});
    }
    // Answers "No" when the test prepared no answer.
    bool confirm(QWidget *, const QString &text) override {
        boxes.push_back({Box::Confirm, text});
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    // Cancels when the test prepared no folder.
    QByteArray chooseCatalogue(QWidget *) override {
        ++catalogueChoices;
        return next(folders);
    }
    // The files the user "chooses", in turn; cancels when none is left.
    QByteArray chooseFileToSave(QWidget *, const QString &, const QString &suggested,
                                const QString &) override {
        suggestions.push_back(suggested);
        return next(files);
    }
    QByteArray chooseFileToOpen(QWidget *, const QString &, const QString &) override {
        return next(files);
    }
    // "Prints" to a PDF file at `printTo`; cancels when the test named none.
    bool choosePrinter(QWidget *, QPrinter &printer) override {
        ++printerChoices;
        if (printTo.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printTo);
        return true;
    }
    // Types the passwords the test prepared, in turn; cancels when none is left.
    bool askPassword(QWidget *, const QString &server, QString &password) override {
        passwordServers.push_back(server);
        if (passwords.empty())
            return false;
        password = passwords.front();
        passwords.pop_front();
        return true;
    }
    std::vector<Box> boxes;
    std::deque<bool> answers;
    std::deque<QString> passwords;
    std::vector<QString> passwordServers;
    std::deque<QByteArray> files;
    std::vector<QString> suggestions; // where each save dialog started
    std::deque<QByteArray> folders;   // the catalogue folders the user "chooses", in turn
    int catalogueChoices = 0;
    QString printTo;
    int printerChoices = 0;
};

class FakeShell : public platform::Shell {
public:
    struct Call {
        QString target;
        QString verb;
        ShowMode mode;
    };
    void open(QWidget *, const QString &target, const QString &verb, ShowMode mode) override {
        opened.push_back({target, verb, mode});
    }
    void start(const QString &program) override { started.push_back(program); }
    // Starts only what the test made the desktop's default; none by default.
    bool startDefault(const QString &mimeType) override {
        askedDefault.push_back(mimeType);
        return defaults.contains(mimeType);
    }
    std::vector<Call> opened;
    std::vector<QString> started;
    std::vector<QString> askedDefault; // every MIME type asked for, answered or not
    QSet<QString> defaults;            // the MIME types the desktop has a default program for
};

// Shows the window without a modal loop, lets the test act inside it, and closes it afterwards
// as the close box would if the test left it open.
class FakeModal : public platform::Modal {
public:
    int open(QDialog *dialog) override {
        opened.push_back(dialog);
        dialog->show();
        if (inside)
            inside(dialog);
        if (dialog->isVisible())
            dialog->close();
        return dialog->result();
    }
    std::vector<QDialog *> opened;
    std::function<void(QDialog *)> inside;
};

class FakeClock : public platform::Clock {
public:
    QDate today() const override { return date; }
    QString shortDateFormat() const override { return format; }
    QDate date = QDate(2026, 12, 7);
    QString format = QStringLiteral("dd/MM/yyyy");
};

// The system's file calls, counted; the armed one fails with `error` as the system's would (a
// failed close still releases the descriptor, as on Linux).
class FaultyFileCalls : public store::FileCalls {
public:
    // From now on, the `n`th call (1 = the next) fails; 0 disarms.
    void failAt(int n, int error) {
        armed_ = n;
        error_ = error;
        seen_ = 0;
        fired_ = false;
    }
    bool fired() const { return fired_; }
    int callsSeen() const { return seen_; }

    int makeTemporary(char *pattern) override {
        return fail() ? -1 : FileCalls::makeTemporary(pattern);
    }
    ssize_t write(int fd, const void *data, size_t size) override {
        return fail() ? -1 : FileCalls::write(fd, data, size);
    }
    int sync(int fd) override { return fail() ? -1 : FileCalls::sync(fd); }
    int close(int fd) override {
        if (!fail())
            return FileCalls::close(fd);
        FileCalls::close(fd);
        errno = error_;
        return -1;
    }
    int rename(const char *from, const char *to) override {
        return fail() ? -1 : FileCalls::rename(from, to);
    }

private:
    bool fail() {
        if (++seen_ != armed_ || armed_ == 0)
            return false;
        fired_ = true;
        errno = error_;
        return true;
    }
    int armed_ = 0;
    int error_ = EIO;
    int seen_ = 0;
    bool fired_ = false;
};

// The mounted discs a test lists, and the image or folder it "chooses".
class FakeDiscs : public platform::Discs {
public:
    std::vector<Mounted> mounted() const override { return drives; }
    QByteArray chooseImage(QWidget *) override { return image; }
    QByteArray chooseFolder(QWidget *) override { return folder; }
    std::vector<Mounted> drives;
    QByteArray image;
    QByteArray folder;
};

struct FakePlatform {
    FakeDialogs dialogs;
    FakeShell shell;
    FakeModal modal;
    FakeClock clock;
    FaultyFileCalls files; // passes everything through until armed
    FakeDiscs discs;
    // The user's settings, in a folder of the test's own.
    QTemporaryDir settingsFolder;
    platform::Preferences preferences{settingsFolder.filePath(QStringLiteral("vadrel.conf"))};
    platform::Services services() {
        return {dialogs, shell, modal, clock, files, discs, preferences};
    }
};
