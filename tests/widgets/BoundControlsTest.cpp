#include "store/cursor/DataSource.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "support/QtPrinters.h"
#include "support/TempCatalogue.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/DBMemo.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using store::TableCursor;

namespace {

class BoundControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        catalogue.exec("INSERT INTO Discos VALUES (1, 'Uno', '2026-01-01', 'a' || char(13,10) "
                       "|| 'b'), (2, 'Dos', '2026-02-02', NULL), (3, 'Tres', '2026-03-03', "
                       "NULL)");
        connection.setFile(catalogue.dbPath());
        connection.setConnected(true);
        discos.setConnection(&connection);
        discos.setActive(true);
        QObject::connect(&source, &store::TDataSource::errorRaised, &source,
                         [this](std::exception_ptr) { ++errors; });

        auto *layout = new QVBoxLayout(&window);
        for (QWidget *w : std::initializer_list<QWidget *>{&number, &description, &comment, &other})
            layout->addWidget(w);
        number.setDataSource(&source);
        number.setDataField("NroDisco");
        description.setDataSource(&source);
        description.setDataField("DescripcionDisco");
        comment.setDataSource(&source);
        comment.setDataField("Comentario");
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QString stored(const char *sql) { return catalogue.queryText(sql); }

    TempCatalogue catalogue;
    store::Connection connection;
    TableCursor discos{"Discos"};
    store::TDataSource source{&discos};
    QWidget window;
    DBEdit number, description;
    DBMemo comment;
    QLineEdit other;
    int errors = 0;
};

} // namespace

TEST_F(BoundControlsTest, BoxesFollowTheCurrentRecord) {
    EXPECT_EQ(number.text(), "1");
    EXPECT_EQ(description.text(), "Uno");
    EXPECT_EQ(comment.toPlainText(), "a\nb");
    discos.GoLast();
    EXPECT_EQ(description.text(), "Tres");
    EXPECT_EQ(comment.toPlainText(), "");
    discos.setActive(false);
    EXPECT_EQ(description.text(), "");
}

TEST_F(BoundControlsTest, TypingEditsAndTheTextReachesTheFieldOnFocusLossAndAtPost) {
    description.setFocus();
    description.selectAll();
    QTest::keyClicks(&description, "Primero");
    EXPECT_EQ(discos.state(), TableCursor::State::Edit);
    EXPECT_EQ(description.text(), "Primero"); // the text survives the start of the edit
    EXPECT_EQ(discos.Fields(1).AsString(), "Uno");
    other.setFocus();
    QApplication::processEvents();
    EXPECT_EQ(discos.Fields(1).AsString(), "Primero");

    comment.setFocus();
    comment.selectAll();
    QTest::keyClicks(&comment, "x");
    QTest::keyClick(&comment, Qt::Key_Return);
    QTest::keyClicks(&comment, "y");
    discos.PostRow(); // collects the memo's text although it still has the focus
    EXPECT_EQ(stored("SELECT DescripcionDisco FROM Discos WHERE NroDisco = 1"), "Primero");
    EXPECT_EQ(stored("SELECT hex(Comentario) FROM Discos WHERE NroDisco = 1"), "780D0A79");
    EXPECT_EQ(discos.state(), TableCursor::State::Browse);
    EXPECT_EQ(errors, 0);
}

// A long text comes back whole after a change of one character: no limit but the field's.
TEST_F(BoundControlsTest, ALongTextIsSavedWhole) {
    const QString longText(100000, u'a');
    catalogue.exec("UPDATE Discos SET DescripcionDisco = '" + longText + "' WHERE NroDisco = 2");
    discos.setActive(false);
    discos.setActive(true);
    discos.GoNext();
    EXPECT_EQ(description.text().size(), 100000);
    description.setFocus();
    description.end(false);
    QTest::keyClick(&description, Qt::Key_Backspace);
    QTest::keyClicks(&description, "z");
    discos.PostRow();
    EXPECT_EQ(stored("SELECT DescripcionDisco FROM Discos WHERE NroDisco = 2"),
              QString(99999, u'a') + u'z');
    EXPECT_EQ(errors, 0);
}

TEST_F(BoundControlsTest, EscapeBringsBackTheFieldValue) {
    description.setFocus();
    QTest::keyClicks(&description, "zzz");
    QTest::keyClick(&description, Qt::Key_Escape);
    EXPECT_EQ(description.text(), "Uno");
    EXPECT_FALSE(description.Modified());
    discos.PostRow();
    EXPECT_EQ(stored("SELECT DescripcionDisco FROM Discos WHERE NroDisco = 1"), "Uno");
}

TEST_F(BoundControlsTest, WholeNumberBoxesTakeOnlySignsAndDigits) {
    number.setFocus();
    number.selectAll();
    QTest::keyClicks(&number, "a1b2.c-+ 9");
    EXPECT_EQ(number.text(), "12-+9");
    number.selectAll();
    QTest::keyClicks(&number, "7");
    other.setFocus();
    QApplication::processEvents();
    EXPECT_EQ(discos.Fields(0).AsInteger(), 7);
    EXPECT_EQ(errors, 0);
}

TEST_F(BoundControlsTest, TextThatDoesNotConvertKeepsTheFocusAndTheEdit) {
    number.setFocus();
    number.selectAll();
    QTest::keyClicks(&number, "1-2");
    other.setFocus();
    QApplication::processEvents();
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(discos.state(), TableCursor::State::Edit);
    EXPECT_TRUE(number.hasFocus());
    EXPECT_THROW(discos.PostRow(), store::DatabaseError);
    discos.CancelRow();
    EXPECT_EQ(number.text(), "1");
}

TEST_F(BoundControlsTest, TextSetFromCodeWhileEditingCountsAsAChange) {
    description.setText("No cuenta"); // browse state: not a change
    EXPECT_FALSE(description.Modified());
    discos.EditRow();
    description.setText("Cuenta");
    discos.PostRow();
    EXPECT_EQ(stored("SELECT DescripcionDisco FROM Discos WHERE NroDisco = 1"), "Cuenta");
}

TEST_F(BoundControlsTest, ReadOnlyBoxesNeverEdit) {
    description.setReadOnly(true);
    description.setFocus();
    QTest::keyClicks(&description, "x");
    EXPECT_EQ(discos.state(), TableCursor::State::Browse);
    EXPECT_EQ(description.text(), "Uno");
}

TEST_F(BoundControlsTest, GridListsFollowsAndMovesTheCursor) {
    DBGrid grid(&window);
    QAbstractItemModelTester tester(grid.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    grid.setColumns({{"NroDisco", "Nro. CD", 50},
                     {"DescripcionDisco", "CD", 140},
                     {"FechaDisco", "Fecha", -1}});
    grid.setDataSource(&source);
    discos.GoLast();
    // Rows are offered once the grid is on screen, with the cursor's row current.
    EXPECT_EQ(grid.model()->rowCount(), 0);
    grid.show();
    ASSERT_EQ(grid.model()->rowCount(), 3);
    EXPECT_EQ(grid.currentIndex().row(), 2);
    discos.GoFirst();
    EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), "Nro. CD");
    EXPECT_TRUE(grid.model()->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(grid.model()->index(1, 2).data().toString(), "02/02/2026");
    EXPECT_EQ(grid.model()->index(1, 1).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));

    discos.GoLast();
    EXPECT_EQ(grid.currentIndex().row(), 2);
    EXPECT_FALSE(grid.model()->headerData(2, Qt::Vertical).toString().isEmpty());
    EXPECT_TRUE(grid.model()->headerData(0, Qt::Vertical).toString().isEmpty());

    grid.setCurrentIndex(grid.model()->index(1, 0)); // the user picks a row
    EXPECT_EQ(discos.Fields(1).AsString(), "Dos");

    discos.InsertRow({4, "Cuatro", QDate(2026, 4, 4), ""});
    EXPECT_EQ(grid.model()->rowCount(), 4);
    EXPECT_EQ(grid.currentIndex().row(), 3);
    discos.DeleteRow();
    discos.setFilter("NroDisco = '2'");
    discos.setFiltered(true);
    EXPECT_EQ(grid.model()->rowCount(), 1);
    discos.setActive(false);
    EXPECT_EQ(grid.model()->rowCount(), 0);
}

TEST_F(BoundControlsTest, AFoundRowIsBroughtToTheMiddle) {
    QStringList rows;
    for (int n = 4; n <= 400; ++n)
        rows << QStringLiteral("(%1, 'CD %1', '2026-01-01', NULL)").arg(n);
    catalogue.exec("INSERT INTO Discos VALUES " + rows.join(','));
    discos.setActive(false);
    discos.setActive(true);
    DBGrid grid(&window);
    grid.setColumns({{"NroDisco", "Nro. CD", 50}});
    grid.setDataSource(&source);
    grid.resize(200, 300);
    grid.show();
    QApplication::processEvents(); // let the grid lay out its header and viewport
    ASSERT_TRUE(discos.FindRow("NroDisco", 250));
    const QRect found = grid.visualRect(grid.model()->index(249, 0));
    const int middle = grid.viewport()->height() / 2;
    EXPECT_TRUE(grid.viewport()->rect().contains(found.center()));
    EXPECT_LE(std::abs(found.center().y() - middle), found.height());
}
