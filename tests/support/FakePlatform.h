#pragma once

#include "Platform.h"

#include <QDialog>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

// Test doubles for the desktop seams: they record what the program asked for and answer from
// what the test prepared.
class FakeDialogs : public platform::Dialogs {
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
    std::vector<Box> boxes;
    std::deque<bool> answers;
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
    std::vector<Call> opened;
    std::vector<QString> started;
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

struct FakePlatform {
    FakeDialogs dialogs;
    FakeShell shell;
    FakeModal modal;
    FakeClock clock;
    platform::Services services() { return {dialogs, shell, modal, clock}; }
};
