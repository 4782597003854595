#include "platform/Preferences.h"
#include "store/cursor/DataSource.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "support/TempCatalogue.h"
#include "widgets/DBGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

const std::vector<GridColumn> kColumns = {
    {"NroDisco", "Nro. CD", 50}, {"DescripcionDisco", "CD", 140}, {"FechaDisco", "Fecha", -1}};
const QString kVisibleText = QStringLiteral("Un disco con una descripción bastante más larga");
const QString kFarText(200, u'W');
using Widths = std::vector<int>;

// What a real double-click delivers; QTest::mouseDClick alone sends only the last event.
void doubleClick(QWidget *widget, QPoint at) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

class GridHabitsTest : public ::testing::Test {
protected:
    void SetUp() override {
        QStringList rows;
        for (int n = 1; n <= 400; ++n)
            rows << QStringLiteral("(%1, '%2', '2026-01-01', NULL)")
                        .arg(n)
                        .arg(n == 2     ? kVisibleText
                             : n == 301 ? kFarText
                                        : QStringLiteral("CD"));
        catalogue.exec("INSERT INTO Discos VALUES " + rows.join(','));
        connection.setFile(catalogue.dbPath());
        connection.setConnected(true);
        discos.setConnection(&connection);
        discos.setActive(true);
    }

    // A grid as a window opens it; each new Preferences on the file is a new run of the program.
    std::unique_ptr<DBGrid> openGrid(platform::Preferences &preferences,
                                     std::vector<GridColumn> columns = kColumns) {
        auto grid = std::make_unique<DBGrid>();
        grid->setColumns(std::move(columns));
        grid->rememberWidths(preferences, QStringLiteral("CDs"));
        grid->setDataSource(&source);
        grid->resize(500, 200);
        grid->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
        return grid;
    }

    static Widths widths(const DBGrid &grid) {
        Widths result;
        for (int i = 0; i < grid.model()->columnCount(); ++i)
            result.push_back(grid.columnWidth(i));
        return result;
    }

    // Just inside the right border of the column's title.
    static QPoint border(const DBGrid &grid, int column) {
        const QHeaderView *titles = grid.horizontalHeader();
        return {titles->sectionViewportPosition(column) + titles->sectionSize(column) - 1,
                titles->height() / 2};
    }

    static void dragBorder(DBGrid &grid, int column, int dx) {
        QWidget *titles = grid.horizontalHeader()->viewport();
        const QPoint from = border(grid, column);
        QTest::mousePress(titles, Qt::LeftButton, {}, from);
        QTest::mouseMove(titles, from + QPoint(dx, 0));
        QTest::mouseRelease(titles, Qt::LeftButton, {}, from + QPoint(dx, 0));
    }

    // Opens the title's context menu and picks `text` in it; false when there was no such entry.
    static bool chooseFromTitleMenu(DBGrid &grid, const QString &text) {
        bool chosen = false;
        QTimer::singleShot(0, &grid, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *action : menu->actions())
                if (action->text() == text) {
                    menu->setActiveAction(action);
                    QTest::keyClick(menu, Qt::Key_Return);
                    chosen = true;
                    return;
                }
            menu->close();
        });
        QWidget *titles = grid.horizontalHeader()->viewport();
        const QPoint at(10, titles->height() / 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, titles->mapToGlobal(at));
        QApplication::sendEvent(titles, &event);
        QApplication::processEvents();
        return chosen;
    }

    TempCatalogue catalogue;
    store::Connection connection;
    store::TableCursor discos{"Discos"};
    store::TDataSource source{&discos};
    QTemporaryDir settings;
    const QString settingsFile = settings.filePath(QStringLiteral("vadrel.conf"));
};

} // namespace

TEST_F(GridHabitsTest, DraggedWidthsComeBackAtTheNextRunAndOnlyForTheSameColumns) {
    {
        platform::Preferences run(settingsFile);
        auto grid = openGrid(run);
        dragBorder(*grid, 1, 60);
        EXPECT_EQ(widths(*grid), (Widths{50, 200, 150}));
    }
    {
        platform::Preferences run(settingsFile);
        EXPECT_EQ(widths(*openGrid(run)), (Widths{50, 200, 150}));
        // Another set of columns under the same key: what was kept does not fit them.
        auto fewer = openGrid(run, {kColumns[0], kColumns[1]});
        EXPECT_EQ(widths(*fewer), (Widths{50, 140}));
        dragBorder(*fewer, 0, 30);
    }
    platform::Preferences run(settingsFile);
    EXPECT_EQ(widths(*openGrid(run)), (Widths{50, 140, 150}));
}

TEST_F(GridHabitsTest, ABorderDoubleClickFitsTheWidestTextOnScreenAndIsKept) {
    platform::Preferences run(settingsFile);
    auto grid = openGrid(run);
    const QFontMetrics metrics = grid->fontMetrics();
    doubleClick(grid->horizontalHeader()->viewport(), border(*grid, 1));
    const int fitted = grid->columnWidth(1);
    EXPECT_GE(fitted, metrics.horizontalAdvance(kVisibleText));
    EXPECT_LT(fitted, metrics.horizontalAdvance(kFarText)); // row 301 is far below the screen
    EXPECT_EQ(openGrid(run)->columnWidth(1), fitted);

    discos.moveTo(300); // now on screen
    doubleClick(grid->horizontalHeader()->viewport(), border(*grid, 1));
    EXPECT_GE(grid->columnWidth(1), metrics.horizontalAdvance(kFarText));
}

TEST_F(GridHabitsTest, RestablecerColumnasGivesBackTheGivenWidthsNowAndAtTheNextRun) {
    {
        platform::Preferences run(settingsFile);
        auto grid = openGrid(run);
        dragBorder(*grid, 0, 25);
        dragBorder(*grid, 2, -40);
        ASSERT_EQ(widths(*grid), (Widths{75, 140, 110}));
        ASSERT_TRUE(chooseFromTitleMenu(*grid, QStringLiteral("Restablecer columnas")));
        EXPECT_EQ(widths(*grid), (Widths{50, 140, 150}));
    }
    // Given widths are not kept as the user's: a later version's own widths come through.
    platform::Preferences run(settingsFile);
    std::vector<GridColumn> laterColumns = kColumns;
    laterColumns[1].width = 180;
    EXPECT_EQ(widths(*openGrid(run, laterColumns)), (Widths{50, 180, 150}));
}

TEST_F(GridHabitsTest, KeysAndDoubleClicksActOnTheCurrentRow) {
    platform::Preferences run(settingsFile);
    auto grid = openGrid(run);
    QWidget *cells = grid->viewport();
    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers m = {}) {
        return [=, g = grid.get()] { QTest::keyClick(g, k, m); };
    };
    const auto twice = [&](QPoint at) { return [=] { doubleClick(cells, at); }; };
    const QPoint thirdRow = grid->visualRect(grid->model()->index(2, 1)).center();
    const QPoint belowRows(50, cells->height() - 5);
    const struct {
        const char *name;
        QString filter; // rows shown
        std::function<void()> act;
        int activations, deletions, currentRow;
    } cases[] = {
        {"Return", "", key(Qt::Key_Return), 1, 0, 0},
        {"Enter del teclado numérico", "", key(Qt::Key_Enter, Qt::KeypadModifier), 1, 0, 0},
        {"doble clic en la tercera fila", "", twice(thirdRow), 1, 0, 2},
        {"doble clic bajo las filas", "NroDisco = 2", twice(belowRows), 0, 0, 0},
        {"Supr", "", key(Qt::Key_Delete), 0, 1, 0},
        {"Supr sin filas", "NroDisco = 0", key(Qt::Key_Delete), 0, 0, -1},
        {"flecha abajo", "", key(Qt::Key_Down), 0, 0, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        discos.setFilter(c.filter);
        discos.setFiltered(!c.filter.isEmpty());
        discos.GoFirst();
        std::vector<int> activatedOn;
        const auto connection = QObject::connect(grid.get(), &DBGrid::rowActivated, [&] {
            activatedOn.push_back(discos.currentIndex());
        });
        QSignalSpy deletions(grid.get(), &DBGrid::deleteRequested);
        c.act();
        QObject::disconnect(connection);
        EXPECT_EQ(activatedOn, std::vector<int>(c.activations, c.currentRow));
        EXPECT_EQ(deletions.count(), c.deletions);
        EXPECT_EQ(discos.currentIndex(), c.currentRow);
    }
}

TEST_F(GridHabitsTest, AClickOnATitleSaysWhichColumnButABorderDragDoesNot) {
    platform::Preferences run(settingsFile);
    auto grid = openGrid(run);
    QSignalSpy clicked(grid.get(), &DBGrid::titleClicked);
    QHeaderView *titles = grid->horizontalHeader();
    for (int column : {2, 0})
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                          {titles->sectionViewportPosition(column) + 20, titles->height() / 2});
    dragBorder(*grid, 1, 30);
    ASSERT_EQ(clicked.count(), 2);
    EXPECT_EQ(clicked[0][0].toInt(), 2);
    EXPECT_EQ(clicked[1][0].toInt(), 0);
}

// A list a little longer than its box: the thumb fills most of the bar, and must still stand out
// from the bare trough, at the end where the current row is.
TEST_F(GridHabitsTest, TheScrollBarsThumbStandsOutWhereTheCurrentRowIs) {
    catalogue.exec("DELETE FROM Discos WHERE NroDisco > 12");
    discos.setActive(false);
    discos.setActive(true);
    platform::Preferences run(settingsFile);
    auto grid = openGrid(run);
    for (const int row : {0, 11}) {
        SCOPED_TRACE(row);
        discos.moveTo(row);
        QApplication::processEvents();
        ASSERT_GT(grid->verticalScrollBar()->maximum(), 0);
        const QImage bar = grid->verticalScrollBar()->grab().toImage();
        // Just inside the groove at each end; the arrow buttons are as long as the bar is wide.
        const int x = bar.width() / 2, arrow = bar.width();
        const int top = bar.pixelColor(x, arrow + 3).lightness();
        const int bottom = bar.pixelColor(x, bar.height() - arrow - 4).lightness();
        EXPECT_LT(row == 0 ? top : bottom, (row == 0 ? bottom : top) - 20);
    }
}
