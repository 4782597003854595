#include "QtPlatform.h"

#include "Conversions.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>

namespace platform {

namespace {

// The buttons keep their English captions whatever the translation of Qt says.
int showBox(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
            bool question) {
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    QPushButton *yes = nullptr;
    if (question) {
        yes = box.addButton(QStringLiteral("Yes"), QMessageBox::YesRole);
        QPushButton *no = box.addButton(QStringLiteral("No"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
    } else {
        box.setDefaultButton(box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole));
    }
    box.exec();
    return question && box.clickedButton() == yes ? 1 : 0;
}

} // namespace

void QtDialogs::error(QWidget *parent, const QString &text) {
    showBox(parent, QMessageBox::Critical, QStringLiteral("Error"), text, false);
}

void QtDialogs::information(QWidget *parent, const QString &text) {
    showBox(parent, QMessageBox::Information, QStringLiteral("Information"), text, false);
}

bool QtDialogs::confirm(QWidget *parent, const QString &text) {
    return showBox(parent, QMessageBox::Question, QStringLiteral("Confirm"), text, true) == 1;
}

QUrl shellTarget(const QString &target, const QString &workingDirectory) {
    // Two letters at least: "C:" is a drive, not a scheme.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(target).hasMatch())
        return QUrl(target, QUrl::TolerantMode);
    if (QFileInfo(target).isAbsolute())
        return QUrl::fromLocalFile(target);
    return QUrl::fromLocalFile(QDir(workingDirectory).filePath(target));
}

void QtShell::open(QWidget *, const QString &target, const QString &, ShowMode) {
    QDesktopServices::openUrl(shellTarget(target, QDir::currentPath()));
}

void QtShell::start(const QString &program) {
    QProcess::startDetached(program, {});
}

int QtModal::open(QDialog *dialog) {
    return dialog->exec();
}

QDate QtClock::today() const {
    return QDate::currentDate();
}

QString QtClock::shortDateFormat() const {
    return store::shortDateFormat();
}

} // namespace platform
