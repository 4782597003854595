// The export and import windows, driven from the main window's menu on real catalogues.
#include "AppFixture.h"
#include "ImportarCsv.h"
#include "Modulo.h"
#include "QtPrinters.h"
#include "cds_.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

class ExchangeWindowsTest : public AppFixture {
protected:
    void menu(const char *item) { Form1->findChild<QAction *>(QLatin1String(item))->trigger(); }
    QByteArray written(const QByteArray &file) {
        QFile in(QFile::decodeName(file));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(ExchangeWindowsTest, ExportsTheWholeCatalogueOrTheQueriesRows) {
    start();
    const QByteArray whole = QFile::encodeName(catalogue->dir()) + "/todo.csv";
    const QByteArray shown = QFile::encodeName(catalogue->dir()) + "/consulta.csv";

    // The queries page filtered to one CD, on a row of its own.
    Form1->Consultas1Click();
    auto *cds = Form1->findChild<QComboBox *>("ComboBox2");
    cds->setCurrentIndex(cds->findText("3"));
    Form1->ComboBox2Change();
    data().TProgDisc.moveTo(1);
    const int onCd3 = data().TProgDisc.RecordCount();

    for (const auto &[choice, file] : {std::pair{"Todo", whole}, std::pair{"Consulta", shown}}) {
        fake.dialogs.files = {file};
        fake.modal.inside = [&, choice = choice](QDialog *window) {
            window->findChild<QRadioButton *>(QLatin1String(choice))->setChecked(true);
            window->findChild<QPushButton *>("Exportar")->click();
        };
        menu("ExportarCatalogo1");
    }
    // A record per program, and one per CD without programs.
    EXPECT_EQ(qint64(store::readCatalogueCsv(written(whole)).rows.size()),
              data().TProgramas.RecordCount() +
                  catalogue->queryInt("SELECT count(*) FROM Discos WHERE NroDisco NOT IN "
                                      "(SELECT NroDisco FROM Programas)"));
    const store::CsvFile rows = store::readCatalogueCsv(written(shown));
    ASSERT_EQ(rows.rows.size(), size_t(onCd3));
    for (const store::CsvRecord &row : rows.rows)
        EXPECT_EQ(row.fields.at(0).text, "3");
    EXPECT_EQ(data().TProgDisc.currentIndex(), 1); // the page keeps its row
    ASSERT_EQ(fake.dialogs.boxes.size(), 2u);
    EXPECT_TRUE(fake.dialogs.boxes[1].text.contains(QFile::decodeName(shown)));
}

TEST_F(ExchangeWindowsTest, ABadLineStopsTheImportUntilItsColumnIsLeftOut) {
    start(true, false);
    const QByteArray file = QFile::encodeName(catalogue->dir()) + "/lista.csv";
    QFile out(QFile::decodeName(file));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("Nro. CD;Programa;Versi\xc3\xb3n;A\xc3\xb1o\r\n"
              "4;Gimp;2.10;2019\r\n"
              "4;Inkscape;1.0;dos mil\r\n"
              "7;\"Editor; con punto y coma\";3;2001\r\n");
    out.close();
    fake.dialogs.files = {file};
    fake.modal.inside = [&](QDialog *dialog) {
        auto *window = static_cast<TFormImportarCsv *>(dialog);
        ASSERT_EQ(window->Errores->rowCount(), 1);
        EXPECT_EQ(window->Errores->item(0, 0)->text(), "3"); // the file's own line
        EXPECT_FALSE(window->Importar->isEnabled());
        ASSERT_EQ(window->Campos.size(), 4u);
        EXPECT_EQ(window->Campos[3]->currentText(), "Año"); // guessed from the header
        window->Campos[3]->setCurrentIndex(0);              // the years are left out
        EXPECT_EQ(window->Errores->rowCount(), 0);
        ASSERT_TRUE(window->Importar->isEnabled());
        window->Importar->click();
    };
    menu("ImportarCsv1");
    EXPECT_EQ(catalogue->queryInt("SELECT count(*) FROM Programas WHERE Anio IS NULL"), 3);
    EXPECT_EQ(catalogue->queryText("SELECT group_concat(NroDisco) FROM Discos"), "4,7");
    EXPECT_EQ(data().TProgramas.RecordCount(), 3); // shown at once
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes[0].text, " Se importaron 3 programas; se crearon 2 CDs. ");
}
