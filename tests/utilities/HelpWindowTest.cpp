#include "AppFixture.h"
#include "HelpPages.h"
#include "QtPrinters.h"
#include "ayuda.h"
#include "cds_.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMenuBar>
#include <QTest>
#include <QTextBrowser>
#include <functional>
#include <gtest/gtest.h>

namespace {

class HelpWindowTest : public AppFixture {
protected:
    void startWithHelp() {
        start(true, true, [](TempCatalogue &c) { store::installHelpPages(c.dir()); });
    }
    static void activate(QWidget *window) {
        window->activateWindow();
        QCoreApplication::processEvents();
    }
    // The menu is in the main window, so it is the active one when "Ayuda" is chosen.
    void ayuda() {
        activate(Form1);
        Form1->menuBar()->findChild<QAction *>("Ayuda2")->trigger();
        QCoreApplication::processEvents();
    }
    QUrl page(const char *name) {
        return QUrl::fromLocalFile(
            QDir(catalogue->dir()).filePath(QStringLiteral("ayuda/") + name));
    }
    int helpWindowsShown() {
        int shown = 0;
        for (QWidget *window : QApplication::topLevelWidgets())
            shown += qobject_cast<TForm10 *>(window) && window->isVisible();
        return shown;
    }
};

} // namespace

TEST_F(HelpWindowTest, ShowsTheFolderHelpBesideTheMainWindow) {
    startWithHelp();
    EXPECT_EQ(TForm10::helpPage(), QDir(catalogue->dir()).filePath("ayuda/ayuda.htm"));
    ayuda();
    EXPECT_TRUE(fake.modal.opened.empty()); // not modal: the main window stays usable
    EXPECT_FALSE(Form10->isModal());
    EXPECT_EQ(Form10->WebBrowser->source(), page("ayuda.htm"));
    EXPECT_EQ(Form10->WebBrowser->documentTitle(), "Ayuda de Vadrel");

    // A page of the help folder opens in the window; a web address on the desktop.
    emit Form10->WebBrowser->anchorClicked(QUrl("cds.htm"));
    EXPECT_EQ(Form10->WebBrowser->source(), page("cds.htm"));
    emit Form10->WebBrowser->anchorClicked(QUrl("https://example.org/vadrel"));
    emit Form10->WebBrowser->anchorClicked(QUrl("../db.mdb"));
    EXPECT_EQ(Form10->WebBrowser->source(), page("cds.htm"));
    ASSERT_EQ(fake.shell.opened.size(), 2u);
    EXPECT_EQ(fake.shell.opened[0].target, "https://example.org/vadrel");
    EXPECT_EQ(fake.shell.opened[1].target, QDir(catalogue->dir()).filePath("db.mdb"));

    // "Ayuda" again: the same window, back at the start of the page.
    ayuda();
    EXPECT_EQ(helpWindowsShown(), 1);
    EXPECT_EQ(Form10->WebBrowser->source(), page("ayuda.htm"));

    // Coming back from the main window loads it again too.
    emit Form10->WebBrowser->anchorClicked(QUrl("errores.htm"));
    activate(Form1);
    activate(Form10);
    EXPECT_EQ(Form10->WebBrowser->source(), page("ayuda.htm"));
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}

// "Ayuda" reloads the page even where the desktop never grants the window its activation; a
// return from another application, or from a box of the window's own, keeps the reader's place.
TEST_F(HelpWindowTest, AyudaReloadsAtOnceAndAReturnFromElsewhereKeepsThePlace) {
    startWithHelp();
    ayuda();
    emit Form10->WebBrowser->anchorClicked(QUrl("errores.htm"));
    activate(Form1);
    // No events are handled in between: the desktop has not activated the window.
    Form1->menuBar()->findChild<QAction *>("Ayuda2")->trigger();
    EXPECT_EQ(Form10->WebBrowser->source(), page("ayuda.htm"));
    QCoreApplication::processEvents();

    const struct {
        const char *what;
        std::function<void()> away; // leaves the help window, which is active
        QUrl after;                 // the page shown once the help window is active again
    } cases[] = {
        {"another application", [] { QApplication::setActiveWindow(nullptr); }, page("cds.htm")},
        {"a box of its own",
         [] {
             auto *box = new QDialog(Form10);
             box->setAttribute(Qt::WA_DeleteOnClose);
             box->show();
             QApplication::setActiveWindow(box);
             box->close();
         },
         page("cds.htm")},
        {"the main window", [] { QApplication::setActiveWindow(Form1); }, page("ayuda.htm")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QApplication::setActiveWindow(Form10);
        emit Form10->WebBrowser->anchorClicked(QUrl("cds.htm"));
        c.away();
        QApplication::setActiveWindow(Form10);
        EXPECT_EQ(Form10->WebBrowser->source(), c.after);
    }
}

TEST_F(HelpWindowTest, MissingPageShowsANoticeInsteadOfAnError) {
    start();
    ayuda();
    EXPECT_TRUE(Form10->isVisible());
    const QString text = Form10->WebBrowser->toPlainText();
    EXPECT_TRUE(text.contains("No se encontró la ayuda")) << text.toStdString();
    EXPECT_TRUE(text.contains(TForm10::helpPage())) << text.toStdString();
    EXPECT_TRUE(fake.dialogs.boxes.empty());

    // Once the pages are there, the next activation shows them.
    store::installHelpPages(catalogue->dir());
    ayuda();
    EXPECT_EQ(Form10->WebBrowser->documentTitle(), "Ayuda de Vadrel");
}
