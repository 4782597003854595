#pragma once

#include "platform/Platform.h"

#include <QDialog>
#include <QTemporaryDir>
#include <cstdio>

// The desktop seams for benchmarks of the real windows: nothing may block, so boxes are printed
// (errors) or dropped, questions answered "No", and nothing is opened.
struct SilentDesktop : platform::Dialogs,
                       platform::Shell,
                       platform::Modal,
                       platform::Clock,
                       platform::Discs {
    void error(QWidget *, const QString &text) override {
        std::fprintf(stderr, "error box: %s\n", qPrintable(text));
    }
    void information(QWidget *, const QString &) override {}
    bool confirm(QWidget *, const QString &) override { return false; }
    void open(QWidget *, const QString &, const QString &, ShowMode) override {}
    void start(const QString &) override {}
    bool startDefault(const QString &) override { return false; }
    int open(QDialog *) override { return 0; }
    QDate today() const override { return QDate(2026, 12, 7); }
    QString shortDateFormat() const override { return QStringLiteral("dd/MM/yyyy"); }
    std::vector<Mounted> mounted() const override { return {}; }
    QByteArray chooseImage(QWidget *) override { return {}; }
    QByteArray chooseFolder(QWidget *) override { return {}; }
    QByteArray chooseCatalogue(QWidget *) override { return {}; }
    QByteArray chooseFileToSave(QWidget *, const QString &, const QString &,
                                const QString &) override {
        return {};
    }
    QByteArray chooseFileToOpen(QWidget *, const QString &, const QString &) override { return {}; }
    bool choosePrinter(QWidget *, QPrinter &) override { return false; }
    bool askPassword(QWidget *, const QString &, QString &) override { return false; }
    platform::Services services() {
        return {*this, *this, *this, *this, store::FileCalls::system(), *this, preferences};
    }
    // Settings go to a temporary file, never the user's.
    QTemporaryDir settingsFolder;
    platform::Preferences preferences{settingsFolder.filePath(QStringLiteral("vadrel.conf"))};
};
