// The export and import windows, driven from the main window's menu on real catalogues.
#include "mainwin/cds_.h"
#include "reports/ImportarCsv.h"
#include "reports/ReportPages.h"
#include "store/catalogue/Modulo.h"
#include "store/exchange/CatalogueOds.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

class ExchangeWindowsTest : public AppFixture {
protected:
    void menu(const char *item) { form1()->findChild<QAction *>(QLatin1String(item))->trigger(); }
    QByteArray written(const QByteArray &file) {
        QFile in(QFile::decodeName(file));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    // Chooses what and how in the export window, then presses `button`.
    void exportAs(const char *what, const char *format, const char *button = "Exportar") {
        fake.modal.inside = [=](QDialog *window) {
            window->findChild<QRadioButton *>(QLatin1String(what))->setChecked(true);
            window->findChild<QRadioButton *>(QLatin1String(format))->setChecked(true);
            window->findChild<QPushButton *>(QLatin1String(button))->click();
        };
        menu("ExportarCatalogo1");
    }
    // The text a PDF reader finds in the file, as poppler's pdftotext reads it.
    static QString pdfText(const QString &file) {
        QProcess reader;
        reader.start(QStringLiteral("pdftotext"),
                     {QStringLiteral("-enc"), QStringLiteral("UTF-8"), file, QStringLiteral("-")});
        EXPECT_TRUE(reader.waitForFinished(60000)) << "pdftotext (poppler-utils) is needed";
        EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
        return QString::fromUtf8(reader.readAllStandardOutput());
    }
    // Rows whose texts a report must show as they are: markup, accents, lines, odd links.
    static void arrangeReportRows(TempCatalogue &c) {
        c.exec("INSERT INTO Discos VALUES (1, 'Utilidades <básicas> & más', '2001-05-04', "
               "'Caja azul' || char(13, 10) || 'estante 2');"
               "INSERT INTO Discos VALUES (2, 'Vacío', NULL, NULL);"
               "INSERT INTO Discos VALUES (3, 'Gráficos', '2003-01-02', NULL);"
               "INSERT INTO Programas VALUES (1, 1, 'Ñandú Compresor', '1.0', 'Pájaro SA', "
               "'Freeware', 1999, 'https://ejemplo.org/a?b=1&c=2', "
               "'línea uno' || char(13, 10) || 'línea dos');"
               "INSERT INTO Programas VALUES (2, 3, 'Cámara Fotos', '2', NULL, 'Demo', NULL, "
               "'javascript:alert(1)', NULL);"
               "INSERT INTO Programas VALUES (3, 1, 'Editor \"<b>\"', NULL, NULL, NULL, NULL, "
               "NULL, NULL)");
    }
};

} // namespace

TEST_F(ExchangeWindowsTest, ExportsTheWholeCatalogueOrTheQueriesRows) {
    start();
    const QByteArray whole = QFile::encodeName(catalogue->dir()) + "/todo.csv";
    const QByteArray shown = QFile::encodeName(catalogue->dir()) + "/consulta.csv";

    // The queries page filtered to one CD, on a row of its own.
    form1()->Consultas1Click();
    auto *cds = form1()->findChild<QComboBox *>("ComboBox2");
    cds->setCurrentIndex(cds->findText("3"));
    form1()->ComboBox2Change();
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

TEST_F(ExchangeWindowsTest, ReportsShowEveryCdWithItsProgramsAsHtmlPdfAndPrint) {
    start(true, false, arrangeReportRows);
    const QByteArray folder = QFile::encodeName(catalogue->dir());
    fake.dialogs.files = {folder + "/todo.html", folder + "/todo.pdf"};
    exportAs("Todo", "Html");
    exportAs("Todo", "Pdf");
    fake.dialogs.printTo = catalogue->dir() + "/impreso.pdf";
    exportAs("Todo", "Csv", "Imprimir");

    const QString html = QString::fromUtf8(written(folder + "/todo.html"));
    EXPECT_TRUE(html.contains("<h2>CD 1: Utilidades &lt;básicas&gt; &amp; más <span "
                              "class=\"fecha\">(04/05/2001)</span></h2>"));
    EXPECT_TRUE(html.contains("<p class=\"nota\">Caja azul\nestante 2</p>"));
    EXPECT_TRUE(html.contains("<td>Editor &quot;&lt;b&gt;&quot;</td>"));
    EXPECT_TRUE(html.contains("<a href=\"https://ejemplo.org/a?b=1&amp;c=2\">"));
    EXPECT_FALSE(html.contains("href=\"javascript")); // shown, never a link
    EXPECT_TRUE(html.contains("<td>javascript:alert(1)</td>"));
    EXPECT_TRUE(html.contains("línea uno\nlínea dos"));
    EXPECT_TRUE(html.contains("<h2>CD 2: Vacío</h2>\n<p>Sin programas.</p>"));
    EXPECT_LT(html.indexOf("Ñandú"), html.indexOf("Editor"));
    EXPECT_LT(html.indexOf("Editor"), html.indexOf("Cámara"));
    EXPECT_TRUE(html.contains("3 programas en 3 CDs."));

    for (const QString &pdf : {catalogue->dir() + "/todo.pdf", fake.dialogs.printTo}) {
        SCOPED_TRACE(pdf.toStdString());
        const QString text = pdfText(pdf);
        for (const char *shown : {"Ñandú Compresor", "Pájaro SA", "Cámara Fotos", "CD 2: Vacío",
                                  "Sin programas.", "línea dos", "04/05/2001"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(shown))) << shown;
        EXPECT_LT(text.indexOf("Ñandú"), text.indexOf("Cámara"));
    }
    EXPECT_EQ(fake.dialogs.printerChoices, 1);
    ASSERT_EQ(fake.dialogs.boxes.size(), 2u); // one per file written
}

TEST_F(ExchangeWindowsTest, AReportOfTheQueriesRowsKeepsToItsCdAndAFailedOneLeavesTheOldFile) {
    start(true, false, arrangeReportRows);
    form1()->Consultas1Click();
    auto *cds = form1()->findChild<QComboBox *>("ComboBox2");
    cds->setCurrentIndex(cds->findText("3"));
    form1()->ComboBox2Change();
    const QByteArray file = QFile::encodeName(catalogue->dir()) + "/consulta.pdf";
    fake.dialogs.files = {file};
    exportAs("Consulta", "Pdf");
    const QString text = pdfText(QFile::decodeName(file));
    EXPECT_TRUE(text.contains("Cámara Fotos"));
    EXPECT_TRUE(text.contains("CD 3: Gráficos"));
    EXPECT_FALSE(text.contains("Ñandú"));

    // The disk fills while the next report is written: the earlier file stays whole.
    const QByteArray before = written(file);
    fake.dialogs.files = {file};
    fake.files.failAt(2, ENOSPC);
    exportAs("Todo", "Pdf");
    EXPECT_TRUE(fake.files.fired());
    EXPECT_EQ(written(file), before);
    ASSERT_FALSE(fake.dialogs.boxes.empty());
    EXPECT_EQ(fake.dialogs.boxes.back().kind, FakeDialogs::Box::Error);
}

TEST_F(ExchangeWindowsTest, SpreadsheetFilesKeepTextsAFormulaOrANumberCouldBeTakenFor) {
    // Stored text (SQL), and what the CSV field and the spreadsheet's text cell carry for it.
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"'=1+1'", "'=1+1", "=1+1"},
        {"'=HYPERLINK(\"http://x.example\",\"ver\")'",
         "\"'=HYPERLINK(\"\"http://x.example\"\",\"\"ver\"\")\"",
         "=HYPERLINK(\"http://x.example\",\"ver\")"},
        {"'=cmd|'' /C calc''!A0'", "'=cmd|' /C calc'!A0", "=cmd|' /C calc'!A0"},
        {"'-1'", "'-1", "-1"},
        {"'@SUM(A1)'", "'@SUM(A1)", "@SUM(A1)"},
        {"'''''=2'", "'''=2", "''=2"},
        {"char(13) || 'cr'", "\"'\rcr\"", "</text:p><text:p>cr"},
        {"'''hola'", "'hola", "'hola"},
        {"'007'", "007", "007"},
    };
    start(true, false, [&](TempCatalogue &c) {
        c.exec("INSERT INTO Discos VALUES (1, '-CD', NULL, NULL)");
        for (size_t i = 0; i < std::size(cases); ++i)
            c.exec(QStringLiteral("INSERT INTO Programas VALUES (%1, 1, 'P%1', %2, NULL, NULL, "
                                  "-5, NULL, NULL)")
                       .arg(i)
                       .arg(QLatin1String(std::get<0>(cases[i]))));
    });
    const QByteArray folder = QFile::encodeName(catalogue->dir());
    for (const char *format : {"Csv", "Ods"}) {
        for (const char *what : {"Todo", "Consulta"}) {
            SCOPED_TRACE(std::string(format) + " " + what);
            const QByteArray file = folder + "/" + what + "." + format;
            fake.dialogs.files = {file};
            exportAs(what, format);
            QProcess unzip;
            unzip.start("unzip", {"-p", QFile::decodeName(file), "content.xml"});
            unzip.waitForFinished();
            const QByteArray bytes = *format == 'C' ? written(file) : unzip.readAllStandardOutput();
            const QByteArray cell = "</text:p></table:table-cell><table:table-cell "
                                    "office:value-type=\"string\"><text:p>";
            // The CD's description too; the year, a number, stays one.
            EXPECT_TRUE(bytes.contains(*format == 'C' ? "1,'-CD," : cell + "-CD</text:p>"));
            for (size_t i = 0; i < std::size(cases); ++i) {
                const QByteArray name = "P" + QByteArray::number(qulonglong(i));
                EXPECT_TRUE(bytes.contains(
                    *format == 'C'
                        ? name + "," + std::get<1>(cases[i]) + ",,,-5,"
                        : name + cell + std::get<2>(cases[i]) +
                              "</text:p></table:table-cell><table:table-cell/><table:table-cell/>"
                              "<table:table-cell office:value-type=\"float\" office:value=\"-5\">"))
                    << std::get<0>(cases[i]);
            }
        }
    }
}

TEST_F(ExchangeWindowsTest, PdfPagesWrapLongCellsAndSayHowManyPagesThereAre) {
    const QString link = QStringLiteral("https://descargas.ejemplo.org/") +
                         QStringLiteral("programas_de_la_revista").repeated(6) +
                         QStringLiteral("/instalar.exe");
    start(true, false, [&](TempCatalogue &c) {
        c.exec("INSERT INTO Discos VALUES (1, 'Revista', '2004-03-01', NULL)");
        c.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 150) "
               "INSERT INTO Programas SELECT i, 1, 'Programa ' || i, '1.' || i, 'Empresa', "
               "'Freeware', 2004, NULL, NULL FROM n");
        c.exec("UPDATE Programas SET Link = '" + link +
               "', NombrePrograma = 'Un nombre de "
               "programa tan largo que no cabe en su columna' WHERE NroPrograma = 70");
    });
    const QByteArray folder = QFile::encodeName(catalogue->dir());
    fake.dialogs.files = {folder + "/todo.pdf"};
    exportAs("Todo", "Pdf");
    fake.dialogs.printTo = catalogue->dir() + "/impreso.pdf";
    exportAs("Todo", "Pdf", "Imprimir");

    for (const QString &pdf : {catalogue->dir() + "/todo.pdf", fake.dialogs.printTo}) {
        SCOPED_TRACE(pdf.toStdString());
        const QString text = pdfText(pdf);
        EXPECT_FALSE(text.contains(QChar(0x2026))); // nothing cut short
        QString joined = text;
        joined.remove(QRegularExpression(QStringLiteral("\\s")));
        EXPECT_TRUE(joined.contains(link));
        EXPECT_TRUE(text.contains("que no cabe en su columna"));
        const QStringList pages = text.split(QChar(u'\f'), Qt::SkipEmptyParts);
        ASSERT_GT(pages.size(), 2);
        for (int page = 1; page <= pages.size(); ++page)
            EXPECT_TRUE(pages[page - 1].contains(
                QStringLiteral("Página %1 de %2").arg(page).arg(pages.size())))
                << page;
    }
}

TEST_F(ExchangeWindowsTest, AnExportStoppedMidwayLeavesNoFile) {
    start(true, false, [](TempCatalogue &c) {
        c.exec("INSERT INTO Discos VALUES (1, 'Uno', NULL, NULL)");
        c.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) "
               "INSERT INTO Programas SELECT i, 1, 'Programa ' || i, NULL, NULL, NULL, NULL, "
               "NULL, NULL FROM n");
    });
    store::Connection &connection = data().ADOConnection;
    store::TableCursor &view = data().TProgDisc;
    data().Reads.finishBackgroundRead();
    const QString folder = catalogue->dir() + "/salida";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + "/archivo";
    // Stops at the report of progress `last`; the pages are counted over 3 reports, then painted.
    qint64 told = 0;
    qint64 last = 0;
    const store::ExportProgress stop = [&](qint64 done, qint64 total) {
        EXPECT_LE(done, total);
        return ++told < last;
    };
    const store::ReportSource whole = store::wholeCatalogueReport(connection, stop);
    const store::ReportSource query = store::queryReport(view, connection, stop);
    const struct {
        const char *name;
        qint64 stopAt;
        std::function<void()> run;
    } exports[] = {
        {"csv", 2, [&] { store::writeCatalogueCsv(connection, file, fake.files, stop); }},
        {"csv of the view", 2, [&] { store::writeCatalogueCsv(view, file, fake.files, stop); }},
        {"ods", 2, [&] { store::writeCatalogueOds(connection, file, fake.files, stop); }},
        {"ods of the view", 2, [&] { store::writeCatalogueOds(view, file, fake.files, stop); }},
        {"html", 2, [&] { store::writeReportHtml(whole, "T", file, fake.files); }},
        {"html of the view", 2, [&] { store::writeReportHtml(query, "T", file, fake.files); }},
        {"pdf while counting", 2, [&] { writeReportPdf(whole, "T", file, fake.files); }},
        {"pdf while painting", 5, [&] { writeReportPdf(whole, "T", file, fake.files); }},
        {"pdf of the view", 5, [&] { writeReportPdf(query, "T", file, fake.files); }},
    };
    for (const auto &entry : exports) {
        SCOPED_TRACE(entry.name);
        told = 0;
        last = entry.stopAt;
        EXPECT_THROW(entry.run(), store::ExportCancelled);
        EXPECT_EQ(told, entry.stopAt);
        EXPECT_TRUE(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }
}
