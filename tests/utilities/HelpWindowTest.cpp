#include "AppFixture.h"
#include "HelpPages.h"
#include "QtPrinters.h"
#include "ayuda.h"
#include "cds_.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
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

    emit Form10->WebBrowser->anchorClicked(QUrl("cds.htm"));
    EXPECT_EQ(Form10->WebBrowser->source(), page("cds.htm"));

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

// Pages of the help folder open in the window; web and mail addresses go to the desktop; any
// other link is refused with a box that names it, and nothing opens.
TEST_F(HelpWindowTest, LinksOpenHelpPagesAndWebOrMailAddressesOnly) {
    startWithHelp();
    ayuda();
    const QString folder = QDir(catalogue->dir()).filePath("ayuda");
    enum Outcome { Here, Desktop, Refused };
    const struct {
        const char *link;
        Outcome outcome;
        QString box; // what the refusal says
    } cases[] = {
        {"cds.htm#agregar", Here, {}},
        {"https://example.org/vadrel", Desktop, {}},
        {"http://example.org/", Desktop, {}},
        {"mailto:alguien@example.org", Desktop, {}},
        {"../db.mdb", Refused,
         " El enlace lleva al archivo \"" + QDir(catalogue->dir()).filePath("db.mdb") +
             "\", fuera de la carpeta de la ayuda; no se abre. "},
        {"file:///etc/passwd", Refused,
         " El enlace lleva al archivo \"/etc/passwd\", fuera de la carpeta de la ayuda; no se "
         "abre. "},
        {"javascript:alert(1)", Refused,
         " El enlace \"javascript:alert(1)\" no es una página de la ayuda ni una dirección web "
         "o de correo; no se abre. "},
        {"smb://servidor/compartido", Refused,
         " El enlace \"smb://servidor/compartido\" no es una página de la ayuda ni una dirección "
         "web o de correo; no se abre. "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.link);
        fake.shell.opened.clear();
        fake.dialogs.boxes.clear();
        emit Form10->WebBrowser->anchorClicked(page("ayuda.htm"));
        emit Form10->WebBrowser->anchorClicked(QUrl(c.link));
        EXPECT_EQ(Form10->WebBrowser->source().adjusted(QUrl::RemoveFragment),
                  c.outcome == Here ? page("cds.htm") : page("ayuda.htm"));
        ASSERT_EQ(fake.shell.opened.size(), c.outcome == Desktop ? 1u : 0u);
        if (c.outcome == Desktop) {
            EXPECT_EQ(fake.shell.opened[0].target, c.link);
        }
        ASSERT_EQ(fake.dialogs.boxes.size(), c.outcome == Refused ? 1u : 0u);
        if (c.outcome == Refused) {
            EXPECT_EQ(fake.dialogs.boxes[0].kind, FakeDialogs::Box::Error);
            EXPECT_EQ(fake.dialogs.boxes[0].text, c.box);
        }
    }
}

// A page missing from the folder, or too large to show without a long wait, gets a notice that
// names it; "Atrás" leads back to where the user came from.
TEST_F(HelpWindowTest, MissingAndOversizedPagesGetANoticeWithTheWayBack) {
    startWithHelp();
    {
        QFile big(QDir(catalogue->dir()).filePath("ayuda/grande.htm"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        const QByteArray line = "<p>Una línea de una página muy grande.</p>\n";
        for (qint64 written = 0; written < 2'000'000; written += line.size())
            big.write(line);
    }
    ayuda();
    const struct {
        const char *link;
        QString says;
    } cases[] = {
        {"falta.htm", "No se encontró la página"},
        {"grande.htm", "Página demasiado grande"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.link);
        emit Form10->WebBrowser->anchorClicked(QUrl("cds.htm"));
        emit Form10->WebBrowser->anchorClicked(QUrl(c.link));
        const QString text = Form10->WebBrowser->toPlainText();
        EXPECT_TRUE(text.startsWith(c.says)) << text.toStdString();
        EXPECT_TRUE(text.contains(QDir(catalogue->dir()).filePath("ayuda/") + c.link));
        emit Form10->WebBrowser->anchorClicked(QUrl("vadrel:atras"));
        EXPECT_EQ(Form10->WebBrowser->source(), page("cds.htm"));
        EXPECT_EQ(Form10->WebBrowser->documentTitle(), "Los CDs");
    }
    EXPECT_TRUE(fake.dialogs.boxes.empty() && fake.shell.opened.empty());

    // The start page itself too large: the notice, with no way back to offer.
    QFile::remove(QDir(catalogue->dir()).filePath("ayuda/ayuda.htm"));
    QFile::rename(QDir(catalogue->dir()).filePath("ayuda/grande.htm"),
                  QDir(catalogue->dir()).filePath("ayuda/ayuda.htm"));
    ayuda();
    const QString text = Form10->WebBrowser->toPlainText();
    EXPECT_TRUE(text.startsWith("Página demasiado grande")) << text.toStdString();
    EXPECT_FALSE(text.contains("Atrás"));
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
