// The programs kept under the same name on more than one CD.
#include "editors/MProg.h"
#include "mainwin/cds_.h"
#include "reports/ProgramasRepetidos.h"
#include "store/catalogue/Modulo.h"
#include "store/search/RepeatedNames.h"
#include "support/AppFixture.h"
#include "widgets/DBEdit.h"

#include <QAction>
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

TEST(RepeatedNames, GroupsNamesAlikeOnceCaseAccentsAndBlanksAreSetAside) {
    struct Row {
        const char *name;
        qint64 cd;
    };
    const struct {
        const char *what;
        std::vector<Row> rows;
        std::vector<std::vector<int>> groups;
    } cases[] = {
        {"accents and case", {{"Cámara", 1}, {"CAMARA", 2}, {"Otro", 1}}, {{0, 1}}},
        {"ñ and blanks", {{"nandu ", 3}, {"Ñandú", 1}}, {{1, 0}}}, // by CD
        {"one CD only", {{"Gimp", 4}, {"gimp", 4}}, {}},
        {"one CD twice and another",
         {{"Gimp", 5}, {"Zip", 1}, {"GIMP", 2}, {"gimp", 5}, {"Zip", 2}},
         {{2, 0, 3}, {1, 4}}}, // groups by name, programs by CD then row
        {"empty names are no name", {{"", 1}, {"  ", 2}}, {}},
        {"different names", {{"Word", 1}, {"Words", 2}, {"Wörd ", 3}}, {{0, 2}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto found = store::search::findRepeatedNames(
            int(c.rows.size()), [&](int row) { return std::string_view(c.rows[size_t(row)].name); },
            [&](int row) { return c.rows[size_t(row)].cd; });
        EXPECT_EQ(found, c.groups);
    }
}

class RepeatedWindowTest : public AppFixture {};

TEST_F(RepeatedWindowTest, ListsProgramsByNameAndOpensOneForModifying) {
    start(true, false, [](TempCatalogue &c) {
        c.exec("INSERT INTO Discos VALUES (1, 'Gráficos', NULL, NULL);"
               "INSERT INTO Discos VALUES (2, 'Copias', NULL, NULL);"
               "INSERT INTO Programas VALUES (1, 1, 'Cámara Fotos', '1.0', NULL, NULL, NULL, "
               "NULL, NULL);"
               "INSERT INTO Programas VALUES (2, 2, 'CAMARA fotos', '2.5', NULL, NULL, NULL, "
               "NULL, NULL);"
               "INSERT INTO Programas VALUES (3, 2, 'Editor', NULL, NULL, NULL, NULL, NULL, NULL)");
    });
    int openings = 0;
    int edits = 0;
    fake.modal.inside = [&](QDialog *dialog) {
        if (dialog == form6()) { // the program opened from the list, renamed
            ++edits;
            EXPECT_EQ(child<DBEdit>(form6(), "DBEdit1")->text(), "CAMARA fotos");
            child<DBEdit>(form6(), "DBEdit1")->selectAll();
            QTest::keyClicks(child<DBEdit>(form6(), "DBEdit1"), "Visor Pro");
            child<QToolButton>(form6(), "SpeedButton1")->click();
            return;
        }
        ++openings;
        auto *window = static_cast<TFormRepetidos *>(dialog);
        const QAbstractItemModel *list = window->Grupos->model();
        auto cell = [list](int row, int column) {
            return list->index(row, column).data().toString();
        };
        ASSERT_EQ(list->rowCount({}), 3); // the name, then its two programs
        EXPECT_EQ(cell(0, 0), "Cámara Fotos");
        EXPECT_EQ(cell(0, 1), "2 programas en 2 CDs");
        EXPECT_EQ(QStringList({cell(2, 1), cell(2, 2), cell(2, 3)}),
                  QStringList({"2.5", "2", "Copias"}));
        window->Grupos->setCurrentIndex(list->index(0, 0));
        QTest::keyClick(window->Grupos, Qt::Key_Return);
        EXPECT_EQ(edits, 0); // a name's line is no program
        window->Grupos->setCurrentIndex(list->index(2, 0));
        QTest::keyClick(window->Grupos, Qt::Key_Return);
        EXPECT_EQ(edits, 1);
        EXPECT_TRUE(window->isVisible()); // Enter opened the program, it closed nothing
        EXPECT_EQ(list->rowCount({}), 0); // counted again after the change
        EXPECT_EQ(window->Cuenta->text(),
                  "Ningún programa está en más de un CD con el mismo nombre.");
    };
    form1()->findChild<QAction *>("Repetidos1")->trigger();
    EXPECT_EQ(openings, 1);
    EXPECT_EQ(catalogue->queryText("SELECT NombrePrograma FROM Programas WHERE NroPrograma = 2"),
              "Visor Pro");
}
