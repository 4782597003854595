#pragma once

#include "DialogBase.h"
#include "Platform.h"

class QTextBrowser;
class QUrl;

// The help window: the help page under the working directory, beside the main window without
// blocking it. Every activation loads the page again from its beginning.
class TForm10 : public DialogBase {
    Q_OBJECT
public:
    explicit TForm10(platform::Services services, QWidget *parent = nullptr);

    // Loads the help page: the working directory, then ayuda, then ayuda.htm.
    void FormActivate() override;
    // The page the window loads on activation.
    static QString helpPage();

    QTextBrowser *WebBrowser;

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // A link in the page: pages of the help folder open here, anything else on the desktop.
    void followLink(const QUrl &link);

    platform::Services services_;
};

extern TForm10 *Form10;
