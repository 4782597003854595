#include "editors/verdatos.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/DBMemo.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

namespace {

// On a catalogue file and on a server's catalogue.
class QueriesTest : public AppFixture, public ::testing::WithParamInterface<TestEngine> {
protected:
    void SetUp() override {
        engine = GetParam();
        SKIP_WITHOUT_SERVER(engine);
        start(true, false, [](TempCatalogue &catalogue) {
            catalogue.exec("INSERT INTO Discos VALUES (1, 'Uno', '2026-01-01', NULL), "
                           "(2, 'Dos', '2026-01-01', NULL), (3, 'Tres', '2026-01-01', NULL), "
                           "(4, 'Vacío', '2026-01-01', NULL), (12, 'Doce', '2026-01-01', NULL)");
            catalogue.exec(
                "INSERT INTO Programas VALUES "
                "(1, 1, 'WinZip', '9', 'E', 'Trial', 2004, 'http://winzip.example/', NULL),"
                "(2, 1, 'Antivirus', '1', 'E', 'Freeware', 2001, '', NULL),"
                "(3, 2, 'winamp', '5', 'E', 'Freeware', 1999, 'C:\\Programas\\setup.exe', NULL),"
                "(4, 3, 'Word', '11', 'E', 'Comercial', 2003, NULL, 'uno\r\ndos'),"
                "(5, 12, 'Paint', '3', 'E', 'Freeware', 2004, 'https://paint.example/a?b=1&c=2', "
                "NULL),"
                "(6, 12, 'WinRAR', '3.5', 'E', 'Shareware', 2002, 'http://rar.example/', NULL)");
        });
        pages = form1()->findChild<QTabWidget *>("PageControl1");
        search = form1()->findChild<QLineEdit *>("Edit1");
        order = form1()->findChild<QComboBox *>("ComboBox1");
        cds = form1()->findChild<QComboBox *>("ComboBox2");
        ASSERT_TRUE(pages && search && order && cds);
        showQueries();
    }

    void showQueries() {
        form1()->findChild<QAction *>("CDs1")->trigger();
        form1()->findChild<QAction *>("Consultas1")->trigger();
    }
    void pick(QComboBox *combo, const QString &text) {
        const int index = combo->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        combo->setCurrentIndex(index);
        emit combo->activated(index); // as the user's choice does
    }
    store::TableCursor &view() { return data().TProgDisc; }
    QString current() { return view().Fields(2).AsString(); }
    QStringList listed() {
        QStringList names;
        auto *model = form1()->findChild<DBGrid *>("DBGrid1")->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names << model->index(row, 2).data().toString();
        return names;
    }

    QTabWidget *pages = nullptr;
    QLineEdit *search = nullptr;
    QComboBox *order = nullptr;
    QComboBox *cds = nullptr;
};

VADREL_ON_BOTH_ENGINES(QueriesTest);

} // namespace

TEST_P(QueriesTest, PageShowsEveryProgramWithItsChoices) {
    QStringList items;
    for (int i = 0; i < order->count(); ++i)
        items << order->itemText(i);
    EXPECT_EQ(items, QStringList({"Nro. CD", "CD", "Programa", "Versión", "Empresa", "Licencia",
                                  "Año", "Link"}));
    items.clear();
    for (int i = 0; i < cds->count(); ++i)
        items << cds->itemText(i);
    EXPECT_EQ(items, QStringList({"Todos", "1", "2", "3", "4", "12"}));
    EXPECT_EQ(listed(), QStringList({"WinZip", "Antivirus", "winamp", "Word", "Paint", "WinRAR"}));
    EXPECT_EQ(form1()->focusWidget(), search);
    for (const char *name : {"VerProg", "Navegar", "ExportarProg"}) {
        auto *icon = form1()->findChild<QWidget *>(name);
        ASSERT_NE(icon, nullptr) << name;
        EXPECT_EQ(icon->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_FALSE(icon->toolTip().isEmpty());
    }
    EXPECT_EQ(form1()->findChild<QWidget *>("VerProg")->toolTip(), "Ver datos del Programa");
    EXPECT_EQ(form1()->findChild<QWidget *>("Navegar")->toolTip(), "Ir a link del Programa");
    EXPECT_EQ(form1()->findChild<QWidget *>("ExportarProg")->toolTip(),
              "Exportar Listado de Programas");
}

TEST_P(QueriesTest, IncrementalSearchByColumn) {
    const struct {
        const char *column;
        const char *text;
        const char *found; // nullptr: the current row stays
    } cases[] = {
        {"Nro. CD", "12a", nullptr},    {"Nro. CD", "1 2", nullptr},
        {"Nro. CD", "123456", nullptr}, {"Nro. CD", "12 ", nullptr},
        {"Nro. CD", " 12", "Paint"},    {"Nro. CD", "-3", nullptr},
        {"Nro. CD", "2", "winamp"},     {"Nro. CD", "$C", "Paint"},
        {"Año", "20030", nullptr},      {"Año", "2003", "Word"},
        {"Año", "1999", "winamp"},      {"Programa", "WIN", "winamp"},
        {"Programa", "winr", "WinRAR"}, {"Programa", "x", nullptr},
        {"Link", "c:\\prog", "winamp"}, {"Licencia", "share", "WinRAR"},
        {"CD", "DO", "Paint"},
    };
    for (const auto &c : cases) {
        pick(order, QString::fromUtf8(c.column));
        view().GoLast();
        const QString before = current();
        search->setText(QString::fromUtf8(c.text));
        EXPECT_EQ(current(), c.found ? QString::fromUtf8(c.found) : before)
            << c.column << " / [" << c.text << "]";
        EXPECT_EQ(search->text(), QString::fromUtf8(c.text));
    }
}

TEST_P(QueriesTest, ChangingTheColumnClearsTheSearchAndReorders) {
    search->setText("Pa");
    pick(order, "Programa");
    EXPECT_EQ(search->text(), "");
    EXPECT_EQ(listed(), QStringList({"Antivirus", "Paint", "winamp", "WinRAR", "WinZip", "Word"}));
    QTest::keyClicks(search, "win");
    EXPECT_EQ(current(), "winamp");
    search->clear(); // emptying the text does not move
    EXPECT_EQ(current(), "winamp");
}

TEST_P(QueriesTest, CdFilterAndSearchOutsideIt) {
    pick(order, "Programa");
    pick(cds, "12");
    EXPECT_EQ(listed(), QStringList({"Paint", "WinRAR"}));
    EXPECT_EQ(view().Filter(), "NroDisco = '12'");
    search->setText("win"); // the first match overall is on CD 2: no move
    EXPECT_EQ(current(), "Paint");
    search->setText("winr");
    EXPECT_EQ(current(), "WinRAR");
    pick(cds, "Todos");
    EXPECT_EQ(search->text(), "");
    EXPECT_EQ(view().RecordCount(), 6);
    EXPECT_EQ(form1()->focusWidget(), search);
}

TEST_P(QueriesTest, ShowingThePageAgainResetsIt) {
    pick(order, "Programa");
    pick(cds, "2");
    search->setText("w");
    const int cdsBefore = data().TDiscos.RecordCount();
    catalogue->exec("INSERT INTO Discos VALUES (13, 'Trece', '2026-01-01', NULL)");
    // A server tells of another's write a moment after its commit, not at once as a file does.
    if (engine == TestEngine::Server) {
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return data().TDiscos.RecordCount() == cdsBefore + 1; }, 5000));
    }
    data().TDiscos.Close();
    data().TDiscos.Open();
    data().TDiscos.GoFirst();
    showQueries();
    EXPECT_EQ(order->currentText(), "Nro. CD");
    EXPECT_EQ(cds->currentText(), "Todos");
    EXPECT_EQ(cds->itemText(cds->count() - 1), "13");
    EXPECT_EQ(search->text(), "");
    EXPECT_EQ(view().IndexFieldNames(), "NroDisco");
    EXPECT_EQ(view().RecordCount(), 6);
    EXPECT_EQ(listed().first(), "WinZip");
    // Listing the CDs left the CDs page on the last CD.
    EXPECT_EQ(data().TDiscos.Fields(0).AsInteger(), 13);
}

TEST_P(QueriesTest, NavegarOpensTheLinkAsItStands) {
    auto *navegar = form1()->findChild<QObject *>("Navegar");
    view().GoFirst(); // WinZip
    form1()->NavegarClick(navegar);
    view().GoNext(); // Antivirus: empty link
    form1()->NavegarClick(navegar);
    view().GoNext(); // winamp: a local path
    form1()->NavegarClick(navegar);
    view().GoNext(); // Word: no link
    form1()->NavegarClick(navegar);
    view().GoNext();
    form1()->NavegarClick(navegar);
    pick(cds, "4"); // a CD without programs: an empty list
    form1()->NavegarClick(navegar);
    ASSERT_EQ(fake.shell.opened.size(), 3u);
    EXPECT_EQ(fake.shell.opened[0].target, "http://winzip.example/");
    EXPECT_EQ(fake.shell.opened[1].target, "C:\\Programas\\setup.exe");
    EXPECT_EQ(fake.shell.opened[2].target, "https://paint.example/a?b=1&c=2");
    for (const auto &call : fake.shell.opened) {
        EXPECT_EQ(call.verb, "");
        EXPECT_EQ(call.mode, platform::Shell::Normal);
    }
    EXPECT_TRUE(fake.shell.started.empty());
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}

TEST_P(QueriesTest, ValidarAppliesTheRuleAndTheLength) {
    EXPECT_FALSE(form1()->Validar("", 5));
    EXPECT_TRUE(form1()->Validar("12345", 5));
    EXPECT_FALSE(form1()->Validar("123456", 5));
    EXPECT_TRUE(form1()->Validar("  -1", 4));
    EXPECT_FALSE(form1()->Validar("1 ", 4));
}

TEST_P(QueriesTest, DetailsShowTheCurrentRowAndChangeNothing) {
    view().FindRow("NombrePrograma", QStringLiteral("Word"), false);
    fake.modal.inside = [&](QDialog *) {
        EXPECT_EQ(form5()->windowTitle(), "Ver datos Programa");
        const QStringList expected = {"Word", "11", "E", "Comercial", "2003", "", "3"};
        DBEdit *boxes[] = {child<DBEdit>(form5(), "DBEdit1"), child<DBEdit>(form5(), "DBEdit2"),
                           child<DBEdit>(form5(), "DBEdit3"), child<DBEdit>(form5(), "DBEdit4"),
                           child<DBEdit>(form5(), "DBEdit5"), child<DBEdit>(form5(), "DBEdit6"),
                           child<DBEdit>(form5(), "DBEdit7")};
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(boxes[i]->text(), expected[i]);
            EXPECT_TRUE(boxes[i]->isReadOnly());
        }
        EXPECT_EQ(child<DBMemo>(form5(), "DBMemo1")->toPlainText(), "uno\ndos");
        QTest::keyClicks(child<DBEdit>(form5(), "DBEdit1"), "zz");
        QTest::keyClicks(child<DBMemo>(form5(), "DBMemo1"), "zz");
        EXPECT_EQ(child<DBEdit>(form5(), "DBEdit1")->text(), "Word");
        EXPECT_EQ(child<DBMemo>(form5(), "DBMemo1")->toPlainText(), "uno\ndos");
        child<QToolButton>(form5(), "SpeedButton1")->click();
        EXPECT_FALSE(form5()->isVisible());
    };
    form1()->VerProgClick(nullptr);
    ASSERT_EQ(fake.modal.opened.size(), 1u);
    EXPECT_EQ(current(), "Word");
    EXPECT_EQ(view().state(), store::TableCursor::State::Browse);
    EXPECT_EQ(catalogue->queryText("SELECT NombrePrograma FROM Programas WHERE NroPrograma = 4"),
              "Word");

    pick(cds, "4");
    fake.modal.inside = [&](QDialog *) {
        for (DBEdit *box : {child<DBEdit>(form5(), "DBEdit1"), child<DBEdit>(form5(), "DBEdit5"),
                            child<DBEdit>(form5(), "DBEdit7")})
            EXPECT_EQ(box->text(), "");
        EXPECT_EQ(child<DBMemo>(form5(), "DBMemo1")->toPlainText(), "");
    };
    form1()->VerProgClick(nullptr);
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}
