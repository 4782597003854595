#include "platform/QtPlatform.h"

#include "platform/DesktopApps.h"
#include "store/engine/Conversions.h"
#include "store/files/WorkingDirectory.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
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

QByteArray QtDialogs::chooseCatalogue(QWidget *parent) {
    const QString kind = QStringLiteral("catalogo");
    const QString folder = QFileDialog::getExistingDirectory(
        parent, QStringLiteral("Abrir catálogo"), folders_.startFolder(kind));
    const QByteArray chosen = folder.isEmpty() ? QByteArray() : QFile::encodeName(folder);
    // The catalogues lie side by side: the next one is looked for beside this one.
    folders_.chose(kind, chosen);
    return chosen;
}

QByteArray QtDialogs::chooseFileToSave(QWidget *parent, const QString &title,
                                       const QString &suggested, const QString &filters) {
    const QString kind = DialogFolders::kindOf(filters);
    const QString file =
        QFileDialog::getSaveFileName(parent, title, folders_.startFile(kind, suggested), filters);
    const QByteArray chosen = file.isEmpty() ? QByteArray() : QFile::encodeName(file);
    folders_.chose(kind, chosen);
    return chosen;
}

QByteArray QtDialogs::chooseFileToOpen(QWidget *parent, const QString &title,
                                       const QString &filters) {
    const QString kind = DialogFolders::kindOf(filters);
    const QString file =
        QFileDialog::getOpenFileName(parent, title, folders_.startFolder(kind), filters);
    const QByteArray chosen = file.isEmpty() ? QByteArray() : QFile::encodeName(file);
    folders_.chose(kind, chosen);
    return chosen;
}

bool QtDialogs::choosePrinter(QWidget *parent, QPrinter &printer) {
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Imprimir"));
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogs::askPassword(QWidget *parent, const QString &server, QString &password) {
    bool accepted = false;
    password =
        QInputDialog::getText(parent, QStringLiteral("Contraseña"),
                              QStringLiteral("El servidor %1 pide una contraseña:").arg(server),
                              QLineEdit::Password, QString(), &accepted);
    return accepted;
}

QUrl shellTarget(const QString &target, const QByteArray &workingDirectory) {
    // Two letters at least: "C:" is a drive, not a scheme.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(target).hasMatch())
        return QUrl(target, QUrl::TolerantMode);
    // A path built from the working directory's text names the folder by its bytes again.
    QByteArray path = store::fileSystemPath(target);
    if (!path.startsWith('/') && !workingDirectory.isEmpty()) {
        if (path.isEmpty())
            path = workingDirectory;
        else
            path.prepend(workingDirectory.endsWith('/') ? workingDirectory
                                                        : workingDirectory + '/');
    }
    const QString text = QFile::decodeName(path);
    if (QFile::encodeName(text) == path)
        return QUrl::fromLocalFile(text);
    // Stray bytes are kept percent-encoded: as text they would become U+FFFD and name another
    // file. (QUrl's own percent-encoding takes text, so the bytes' own is used.)
    return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"));
}

void QtShell::open(QWidget *, const QString &target, const QString &, ShowMode) {
    const QUrl url = shellTarget(target, store::workingDirectoryBytes());
    const QByteArray address = url.toEncoded();
    // Browsers claim http and https, never about: such a page goes to the default browser.
    if (url.scheme() == u"about") {
        desktop::openInBrowser(address);
        return;
    }
    // The mail program named for mailto: takes the address as it is, a bare "mailto:" too.
    if (url.scheme() == u"mailto" && desktop::openWithSchemeHandler(address))
        return;
    // Without xdg-open (or any platform service) the desktop's defaults are asked directly.
    if (!QDesktopServices::openUrl(url))
        desktop::openWithDefault(address);
}

void QtShell::start(const QString &program) {
    QProcess::startDetached(program, {});
}

bool QtShell::startDefault(const QString &mimeType) {
    return desktop::startDefault(mimeType.toUtf8());
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
