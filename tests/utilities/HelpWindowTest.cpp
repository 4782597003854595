#include "mainwin/cds_.h"
#include "store/catalogue/HelpPages.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "utilities/ayuda.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <filesystem>
#include <fstream>
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
        activate(form1());
        form1()->menuBar()->findChild<QAction *>("Ayuda2")->trigger();
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
    EXPECT_FALSE(form10()->isModal());
    EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->source(), page("ayuda.htm"));
    EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->documentTitle(), "Ayuda de Vadrel");

    emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(QUrl("cds.htm"));
    EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->source(), page("cds.htm"));

    // "Ayuda" again: the same window, back at the start of the page.
    ayuda();
    EXPECT_EQ(helpWindowsShown(), 1);
    EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->source(), page("ayuda.htm"));

    // Coming back from the main window loads it again too.
    emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(QUrl("errores.htm"));
    activate(form1());
    activate(form10());
    EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->source(), page("ayuda.htm"));
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}

// "Ayuda" reloads the page even where the desktop never grants the window its activation; a
// return from another application, or from a box of the window's own, keeps the reader's place.
TEST_F(HelpWindowTest, AyudaReloadsAtOnceAndAReturnFromElsewhereKeepsThePlace) {
    startWithHelp();
    ayuda();
    emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(QUrl("errores.htm"));
    activate(form1());
    // No events are handled in between: the desktop has not activated the window.
    form1()->menuBar()->findChild<QAction *>("Ayuda2")->trigger();
    EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->source(), page("ayuda.htm"));
    QCoreApplication::processEvents();

    const struct {
        const char *what;
        std::function<void()> away; // leaves the help window, which is active
        QUrl after;                 // the page shown once the help window is active again
    } cases[] = {
        {"another application", [] { QApplication::setActiveWindow(nullptr); }, page("cds.htm")},
        {"a box of its own",
         [this] {
             auto *box = new QDialog(form10());
             box->setAttribute(Qt::WA_DeleteOnClose);
             box->show();
             QApplication::setActiveWindow(box);
             box->close();
         },
         page("cds.htm")},
        {"the main window", [this] { QApplication::setActiveWindow(form1()); }, page("ayuda.htm")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QApplication::setActiveWindow(form10());
        emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(QUrl("cds.htm"));
        c.away();
        QApplication::setActiveWindow(form10());
        EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->source(), c.after);
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
        emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(page("ayuda.htm"));
        emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(QUrl(c.link));
        EXPECT_EQ(
            child<QTextBrowser>(form10(), "WebBrowser")->source().adjusted(QUrl::RemoveFragment),
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
        emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(QUrl("cds.htm"));
        emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(QUrl(c.link));
        const QString text = child<QTextBrowser>(form10(), "WebBrowser")->toPlainText();
        EXPECT_TRUE(text.startsWith(c.says)) << text.toStdString();
        EXPECT_TRUE(text.contains(QDir(catalogue->dir()).filePath("ayuda/") + c.link));
        emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(QUrl("vadrel:atras"));
        EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->source(), page("cds.htm"));
        EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->documentTitle(), "Los CDs");
    }
    EXPECT_TRUE(fake.dialogs.boxes.empty() && fake.shell.opened.empty());

    // The start page itself too large: the notice, with no way back to offer.
    QFile::remove(QDir(catalogue->dir()).filePath("ayuda/ayuda.htm"));
    QFile::rename(QDir(catalogue->dir()).filePath("ayuda/grande.htm"),
                  QDir(catalogue->dir()).filePath("ayuda/ayuda.htm"));
    ayuda();
    const QString text = child<QTextBrowser>(form10(), "WebBrowser")->toPlainText();
    EXPECT_TRUE(text.startsWith("Página demasiado grande")) << text.toStdString();
    EXPECT_FALSE(text.contains("Atrás"));
}

// The catalogue's own pages, which the user may have edited, come first; then those installed
// with the program, in <prefix>/share beside its <prefix>/bin; then the source tree's. Every
// case has an ayuda folder in the catalogue, but only some have its first page. Folders go by
// their bytes: the prefix's name is no valid text.
TEST(HelpFolder, IsTheFirstPlaceThatHasTheFirstPage) {
    QTemporaryDir temporary;
    const QByteArray root = QFile::encodeName(temporary.path()) + "/instalaci\xf3n";
    const auto removeRoot = qScopeGuard([&] {
        std::error_code ignored;
        std::filesystem::remove_all(root.constData(), ignored);
    });
    const QByteArray catalogue = root + "/catalogo", own = catalogue + "/ayuda",
                     installed = root + "/share/vadrel/ayuda", source = root + "/fuente/ayuda";
    auto write = [](const QByteArray &folder, const char *name) {
        std::filesystem::create_directories(folder.constData());
        std::ofstream((folder + '/' + name).constData()) << "<title>Ayuda</title>";
    };
    const struct {
        const char *what;
        std::vector<QByteArray> withFirstPage;
        QByteArray chosen;
    } cases[] = {
        {"all three", {own, installed, source}, own},
        {"installed and source", {installed, source}, installed},
        {"source only", {source}, source},
        {"none", {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(root.constData());
        write(own, "cds.htm");
        for (const QByteArray &folder : c.withFirstPage)
            write(folder, "ayuda.htm");
        EXPECT_EQ(TForm10::helpFolder(TForm10::helpPlaces(catalogue, root + "/bin", source)),
                  c.chosen);
    }
}

// A catalogue folder without the first help page shows the program's own pages instead of a
// notice; one with its own shows that, edited as it may be. Either way links lead among the
// pages of the folder shown and no further.
TEST_F(HelpWindowTest, ShowsTheCataloguesOwnPagesOrElseTheProgramsOwn) {
    const struct {
        const char *what;
        std::function<void(TempCatalogue &)> arrange;
        const char *title;
        bool own; // the page comes from the catalogue folder
    } cases[] = {
        {"no ayuda folder", {}, "Ayuda de Vadrel", false},
        {"an ayuda folder without its first page",
         [](TempCatalogue &c) { QDir(c.dir()).mkpath("ayuda"); }, "Ayuda de Vadrel", false},
        {"its own first page, edited",
         [](TempCatalogue &c) {
             store::installHelpPages(c.dir());
             QFile page(c.dir() + "/ayuda/ayuda.htm");
             ASSERT_TRUE(page.open(QIODevice::WriteOnly | QIODevice::Truncate));
             page.write("<html><head><title>Nuestra ayuda</title></head><body>"
                        "<a href=\"cds.htm\">CDs</a></body></html>");
         },
         "Nuestra ayuda", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        start(true, true, c.arrange);
        ayuda();
        const QString shown = child<QTextBrowser>(form10(), "WebBrowser")->source().toLocalFile();
        EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->documentTitle(), c.title);
        EXPECT_EQ(shown, TForm10::helpPage());
        EXPECT_EQ(shown.startsWith(catalogue->dir() + '/'), c.own) << shown.toStdString();

        emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(QUrl("cds.htm"));
        EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->documentTitle(), "Los CDs");
        EXPECT_TRUE(fake.dialogs.boxes.empty());
        emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(QUrl("../fuera.htm"));
        EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->documentTitle(), "Los CDs");
        EXPECT_EQ(fake.dialogs.boxes.size(), 1u);
        fake.dialogs.boxes.clear();
    }
}

// Atrás and Adelante walk the pages seen and are enabled only when there is somewhere to go;
// Alt+Left and Alt+Right do the same; Inicio leads to the first page. Escape closes the window.
TEST_F(HelpWindowTest, ButtonsAndKeysMoveAmongThePagesSeen) {
    startWithHelp();
    ayuda();
    EXPECT_FALSE(child<QToolButton>(form10(), "Atras")->isEnabled());
    EXPECT_FALSE(child<QToolButton>(form10(), "Adelante")->isEnabled());
    EXPECT_TRUE(child<QToolButton>(form10(), "Inicio")->isEnabled());
    emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(QUrl("cds.htm"));
    auto click = [](QWidget *button) {
        return [button] { QTest::mouseClick(button, Qt::LeftButton); };
    };
    auto key = [this](Qt::Key key) {
        return [this, key] { QTest::keyClick(form10(), key, Qt::AltModifier); };
    };
    const struct {
        const char *what;
        std::function<void()> act;
        const char *page;
        bool back, forward;
    } steps[] = {
        {"Atrás", click(child<QToolButton>(form10(), "Atras")), "ayuda.htm", false, true},
        {"Adelante", click(child<QToolButton>(form10(), "Adelante")), "cds.htm", true, false},
        {"Alt+Left", key(Qt::Key_Left), "ayuda.htm", false, true},
        {"Alt+Right", key(Qt::Key_Right), "cds.htm", true, false},
        {"Inicio", click(child<QToolButton>(form10(), "Inicio")), "ayuda.htm", true, false},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->source(), page(step.page));
        EXPECT_EQ(child<QToolButton>(form10(), "Atras")->isEnabled(), step.back);
        EXPECT_EQ(child<QToolButton>(form10(), "Adelante")->isEnabled(), step.forward);
    }

    ASSERT_TRUE(form10()->isVisible());
    QTest::keyClick(child<QTextBrowser>(form10(), "WebBrowser"), Qt::Key_Escape);
    EXPECT_FALSE(form10()->isVisible());
}
