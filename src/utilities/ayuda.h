#pragma once

#include "DialogBase.h"
#include "Platform.h"

#include <QPointer>

class QTextBrowser;
class QUrl;

// The help window: the help page under the working directory, beside the main window without
// blocking it. Every activation among the program's windows loads the page again from its
// beginning; coming back to it from another application does not.
class TForm10 : public DialogBase {
    Q_OBJECT
public:
    explicit TForm10(platform::Services services, QWidget *parent = nullptr);
    ~TForm10() override;

    // "Ayuda" > "Ayuda": shows the window, or brings it to the front when it is open, and loads
    // the page at once, whether or not the desktop grants the window its activation.
    void showHelp();
    // Loads the help page: the working directory, then ayuda, then ayuda.htm.
    void FormActivate() override;
    // The page the window loads.
    static QString helpPage();

    QTextBrowser *WebBrowser;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // A link in the page: pages of the help folder open here, anything else on the desktop.
    void followLink(const QUrl &link);
    // True when `window` is this one or a box of its own.
    bool isOwn(const QWidget *window) const;

    platform::Services services_;
    QPointer<QWidget> lastActive_; // the program's window that was activated last
    QPointer<QWidget> before_;     // and the one before it, when this one is activated
};

extern TForm10 *Form10;
