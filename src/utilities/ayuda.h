#pragma once

#include "platform/Platform.h"
#include "widgets/DialogBase.h"

#include <QByteArray>
#include <QList>
#include <QPointer>

class QTextBrowser;
class QToolButton;
class QUrl;

// The help window: the help pages beside the main window without blocking it. Every activation
// among the program's windows loads the first page again from its beginning; coming back to it
// from another application does not. Escape closes it, unlike the other secondary windows: it
// holds nothing the user could lose.
class TForm10 : public DialogBase {
    Q_OBJECT
public:
    explicit TForm10(platform::Services services, QWidget *parent = nullptr);
    ~TForm10() override;

    // "Ayuda" > "Ayuda": shows the window, or brings it to the front when it is open, and loads
    // the page at once, whether or not the desktop grants the window its activation.
    void showHelp();
    // Loads the first page, ayuda.htm, from the first of the help's places that has it.
    void FormActivate() override;

    // The folders the help may come from, in order, by their bytes (a name need not be valid
    // text): the catalogue folder's ayuda, which the user may have edited; the pages installed
    // with the program, <prefix>/share/vadrel/ayuda for a program in <prefix>/bin; and the
    // source tree's, for a program run from its build tree. Empty folders are left out.
    static QList<QByteArray> helpPlaces(const QByteArray &catalogueFolder,
                                        const QByteArray &executableFolder,
                                        const QByteArray &sourceFolder);
    // The first of `places` that holds ayuda.htm; empty when none does.
    static QByteArray helpFolder(const QList<QByteArray> &places);
    // The page the window loads now: ayuda.htm in the folder helpFolder chooses for this
    // program and the working directory, or the catalogue folder's when no place has one.
    static QString helpPage();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QToolButton *Atras;
    QToolButton *Adelante;
    QToolButton *Inicio;
    QTextBrowser *WebBrowser;

    // A link in the page: pages of the help folder open here, anything else on the desktop.
    void followLink(const QUrl &link);
    // True when `window` is this one or a box of its own.
    bool isOwn(const QWidget *window) const;

    platform::Services services_;
    QPointer<QWidget> lastActive_; // the program's window that was activated last
    QPointer<QWidget> before_;     // and the one before it, when this one is activated
};
