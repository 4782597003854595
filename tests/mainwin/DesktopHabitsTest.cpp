// The main window's desktop habits: shortcuts, grids that open and delete rows, catalogues opened
// from the window, and a window that starts where it was left when asked to.
#include "mainwin/RecentCatalogues.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "utilities/ayuda.h"
#include "widgets/DBGrid.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class DesktopHabitsTest : public AppFixture {
protected:
    void startActive() {
        start();
        QApplication::setActiveWindow(form1());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form1()));
    }
    template <class T> T *child(const char *name) {
        T *found = form1()->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    int page() { return child<QTabWidget>("PageControl1")->currentIndex(); }
    QString opened() {
        return fake.modal.opened.empty() ? QString() : fake.modal.opened.back()->objectName();
    }
    // Enter, or a double-click on the row's first cell.
    void openRow(DBGrid *grid, int row, bool byMouse) {
        grid->setFocus();
        if (!byMouse)
            grid->setCurrentIndex(grid->model()->index(row, 0));
        if (byMouse) {
            // As a mouse sends it: the first click, then the second press as a double-click.
            const QPoint at = grid->visualRect(grid->model()->index(row, 0)).center();
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
            QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at);
        } else
            QTest::keyClick(grid, Qt::Key_Return);
    }
    QStringList recentMenu() {
        auto *menu = child<QMenu>("CatalogosRecientes1");
        emit menu->aboutToShow();
        QStringList entries;
        for (QAction *action : menu->actions())
            entries << action->text() + (action->isEnabled() ? "" : " (off)");
        return entries;
    }
};

} // namespace

TEST_F(DesktopHabitsTest, EveryShortcutDoesWhatItsMenuItemDoes) {
    startActive();
    const struct {
        const char *what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int page;
        const char *window; // opened modally, or "" for none
    } cases[] = {
        {"Ctrl+2", Qt::Key_2, Qt::ControlModifier, 1, ""},
        {"Ctrl+3", Qt::Key_3, Qt::ControlModifier, 2, ""},
        {"Ctrl+1", Qt::Key_1, Qt::ControlModifier, 0, ""},
        {"Ctrl+Shift+N", Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier, 1, "Form4"},
        {"Ctrl+N", Qt::Key_N, Qt::ControlModifier, 0, "Form2"},
        {"Ctrl+E", Qt::Key_E, Qt::ControlModifier, 0, "Form8"},
        {"Ctrl+B", Qt::Key_B, Qt::ControlModifier, 0, "Form9"},
        {"F1", Qt::Key_F1, Qt::NoModifier, 0, ""},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.what);
        fake.modal.opened.clear();
        QTest::keyClick(form1(), test.key, test.modifiers);
        EXPECT_EQ(page(), test.page);
        EXPECT_EQ(opened(), QLatin1String(test.window));
        QApplication::setActiveWindow(form1());
    }
    EXPECT_TRUE(form10()->isVisible()); // F1
    form10()->hide();
    QApplication::setActiveWindow(form1());

    // Ctrl+F: the queries page, typing into "Buscar :" at once.
    QTest::keyClick(form1(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(page(), 2);
    QTest::keyClicks(QApplication::focusWidget(), "Cor");
    EXPECT_EQ(child<QLineEdit>("Edit1")->text(), "Cor");

    QTest::keyClick(form1(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form1()->isVisible());
    EXPECT_FALSE(data().ADOConnection.Connected());
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}

TEST_F(DesktopHabitsTest, EnterOrDoubleClickOpensTheRowAndDeleteAsksAsBajas) {
    start();
    const struct {
        const char *grid;
        int page;
        int row;
        bool byMouse;
        const char *window;
        store::TableCursor TDataModule2::*cursor;
    } cases[] = {
        {"DBGrid2", 0, 3, false, "Form3", &TDataModule2::TDiscos},
        {"DBGrid2", 0, 5, true, "Form3", &TDataModule2::TDiscos},
        {"DBGrid3", 1, 2, true, "Form6", &TDataModule2::TProgramas},
        {"DBGrid1", 2, 4, false, "Form5", &TDataModule2::TProgDisc},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(std::string(test.grid) + (test.byMouse ? " double-click" : " Enter"));
        child<QTabWidget>("PageControl1")->setCurrentIndex(test.page);
        fake.modal.opened.clear();
        int currentInside = -1;
        fake.modal.inside = [&](QDialog *) {
            currentInside = (data().*test.cursor).currentIndex();
        };
        openRow(child<DBGrid>(test.grid), test.row, test.byMouse);
        EXPECT_EQ(opened(), QLatin1String(test.window));
        EXPECT_EQ(currentInside, test.row); // the window opened on that row
    }
    fake.modal.inside = nullptr;

    // Delete: the same question as BAJAS; "No" keeps the row, "Yes" deletes it.
    child<QTabWidget>("PageControl1")->setCurrentIndex(1);
    auto *programs = child<DBGrid>("DBGrid3");
    const int count = data().TProgramas.RecordCount();
    fake.dialogs.answers = {false, true};
    for (int expected : {count, count - 1}) {
        programs->setFocus();
        QTest::keyClick(programs, Qt::Key_Delete);
        EXPECT_EQ(fake.dialogs.boxes.back().text, "\r\n Confirma la eliminación ?");
        EXPECT_EQ(data().TProgramas.RecordCount(), expected);
    }
    EXPECT_EQ(fake.dialogs.boxes.size(), 2u);
}

TEST_F(DesktopHabitsTest, AClickOnAQueriesTitleOrdersAsTheChoiceDoes) {
    start();
    child<QTabWidget>("PageControl1")->setCurrentIndex(2);
    auto *grid = child<DBGrid>("DBGrid1");
    QHeaderView *titles = grid->horizontalHeader();
    const int column = 2; // "Programa"
    QTest::mouseClick(
        titles->viewport(), Qt::LeftButton, {},
        QPoint(titles->sectionViewportPosition(column) + titles->sectionSize(column) / 2,
               titles->height() / 2));
    EXPECT_EQ(child<QComboBox>("ComboBox1")->currentText(), "Programa");
    QStringList names;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        names << grid->model()->index(row, column).data().toString();
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(),
              [](const QString &a, const QString &b) { return a.localeAwareCompare(b) < 0; });
    EXPECT_EQ(names, sorted);
}

TEST_F(DesktopHabitsTest, CataloguesOpenFromTheWindowAndAreListedAsRecent) {
    start();
    const QByteArray first = QFile::encodeName(QDir::currentPath());
    TempCatalogue other(false);
    other.exec("INSERT INTO Discos VALUES (7, 'Otro', '2026-05-05', NULL)");
    const QByteArray second = QFile::encodeName(other.dir());
    const QTemporaryDir empty;
    const QByteArray gone = QFile::encodeName(empty.path()) + "/borrado";

    // A folder without a catalogue, "No" to the offer, then the chooser cancelled: nothing
    // changes.
    fake.dialogs.folders = {QFile::encodeName(empty.path())};
    fake.dialogs.answers = {false};
    child<QAction>("AbrirCatalogo1")->trigger();
    EXPECT_EQ(fake.dialogs.catalogueChoices, 2);
    EXPECT_EQ(data().TDiscos.RecordCount(), 12);
    EXPECT_TRUE(form1()->statusText(1).contains(QFile::decodeName(first)));

    recent::opened(fake.preferences, gone);
    recent::opened(fake.preferences, first);
    fake.dialogs.folders = {second};
    child<QAction>("AbrirCatalogo1")->trigger();
    EXPECT_EQ(data().TDiscos.RecordCount(), 1);
    EXPECT_EQ(form1()->statusText(1),
              QStringLiteral(" Origen de datos :  \" ") + other.dir() + "/ \"");
    EXPECT_EQ(recentMenu(), QStringList({QFile::decodeName(second), QFile::decodeName(first),
                                         QFile::decodeName(gone) + " (off)"}));

    // Back by the recent list, on the CDs page whatever page was showing.
    child<QTabWidget>("PageControl1")->setCurrentIndex(2);
    child<QMenu>("CatalogosRecientes1")->actions().at(1)->trigger();
    EXPECT_EQ(data().TDiscos.RecordCount(), 12);
    EXPECT_EQ(page(), 0);
    EXPECT_EQ(QFile::encodeName(QDir::currentPath()), first);
    EXPECT_EQ(recent::catalogues(fake.preferences).front(), first);
    EXPECT_EQ(fake.dialogs.boxes.size(), 1u); // only the offer
}

TEST_F(DesktopHabitsTest, WithNoCatalogueChosenTheCommandsThatNeedOneAreOff) {
    catalogue = std::make_unique<TempCatalogue>(true);
    cwd = std::make_unique<ScopedCwd>(catalogue->dir());
    app = std::make_unique<Startup>(fake.services(), importer, false);
    EXPECT_EQ(form1()->statusText(1), " Ningún catálogo abierto");
    for (const char *item : {"NuevoCd1", "NuevoPrograma1", "CatalogarDisco1", "Exportar1"})
        EXPECT_FALSE(child<QAction>(item)->isEnabled()) << item;
    EXPECT_FALSE(child<QToolButton>("SpeedButton1")->isEnabled());
    EXPECT_TRUE(child<QAction>("RepararBasededatos1")->isEnabled());

    fake.dialogs.folders = {QFile::encodeName(catalogue->dir())};
    child<QAction>("AbrirCatalogo1")->trigger();
    EXPECT_TRUE(child<QAction>("NuevoCd1")->isEnabled());
    EXPECT_TRUE(child<QToolButton>("SpeedButton1")->isEnabled());
    EXPECT_EQ(data().TDiscos.RecordCount(), 12);
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}

TEST_F(DesktopHabitsTest, TheWindowStartsWhereItWasLeftOnlyWhenAsked) {
    for (bool remember : {true, false}) {
        SCOPED_TRACE(remember ? "remembered" : "not remembered");
        start();
        if (child<QAction>("RecordarVentana1")->isChecked() != remember)
            child<QAction>("RecordarVentana1")->trigger();
        form1()->move(143, 91);
        child<QTabWidget>("PageControl1")->setCurrentIndex(1);
        form1()->close();

        start();
        EXPECT_EQ(child<QAction>("RecordarVentana1")->isChecked(), remember);
        EXPECT_EQ(form1()->pos() == QPoint(143, 91), remember);
        EXPECT_EQ(page(), remember ? 1 : 0);
    }
}
