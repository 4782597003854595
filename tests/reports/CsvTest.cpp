#include "reports/ImportarCsv.h"
#include "store/catalogue/Modulo.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "store/exchange/CatalogueCsv.h"
#include "store/files/FileCalls.h"
#include "store/schema/Schema.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "support/TempCatalogue.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <gtest/gtest.h>
#include <set>

namespace {

struct Opened {
    store::Connection connection;
    explicit Opened(const TempCatalogue &catalogue) {
        connection.setFile(catalogue.dbPath());
        connection.setConnected(true);
    }
};

QByteArray exported(const TempCatalogue &catalogue) {
    Opened opened(catalogue);
    const QString path = QDir(catalogue.dir()).filePath(QStringLiteral("catalogo.csv"));
    store::writeCatalogueCsv(opened.connection, path, store::FileCalls::system());
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The bytes as a file beside the catalogue.
QString csvFile(const TempCatalogue &catalogue, const QByteArray &csv) {
    const QString path = QDir(catalogue.dir()).filePath(QStringLiteral("entrada.csv"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(csv);
    return path;
}

store::CsvImported imported(const TempCatalogue &catalogue, const QByteArray &csv,
                            const store::CsvOptions &options = {}) {
    Opened opened(catalogue);
    return store::importCatalogueCsv(opened.connection, csvFile(catalogue, csv), options);
}

store::CsvCheck checked(const TempCatalogue &catalogue, const QByteArray &csv,
                        const store::CsvOptions &options = {}) {
    Opened opened(catalogue);
    return store::checkCatalogueCsv(&opened.connection, csvFile(catalogue, csv), options);
}

// Every row as a JSON array, so NULL, '' and 5 against '5' all tell apart.
template <size_t N>
QString tableDump(const TempCatalogue &catalogue, const char *table, const char *const (&fields)[N],
                  const QString &where = {}) {
    QStringList names;
    for (const char *field : fields)
        names << QString::fromLatin1(field);
    return catalogue.queryText(
        QStringLiteral("SELECT group_concat(r, char(10)) FROM (SELECT json_array(%1) AS r FROM "
                       "%2 %3 ORDER BY %4)")
            .arg(names.join(u','), QString::fromLatin1(table), where, names.first()));
}
QString cdsDump(const TempCatalogue &catalogue, const QString &where = {}) {
    return tableDump(catalogue, store::schema::cds::table, store::schema::cds::fields, where);
}
QString programsDump(const TempCatalogue &catalogue, const QString &where = {}) {
    return tableDump(catalogue, store::schema::programs::table, store::schema::programs::fields,
                     where);
}

} // namespace

TEST(CsvRoundTrip, ExportImportExportGivesTheSameFileAndTables) {
    TempCatalogue source;
    source.exec(QStringLiteral(
        "INSERT INTO Discos VALUES (3, 'Revista \"PC\", marzo', '2004-02-29', "
        "'Línea uno' || char(13, 10) || 'línea, dos'), (7, '', NULL, NULL), "
        "(0, NULL, '1999-12-31 14:30:00', ''), (9, 'Sin programas', '2010-01-01', 'vacío')"));
    source.exec(QStringLiteral(
        "INSERT INTO Programas VALUES (10, 3, 'Ñandú \"Pro\"', '1.0, beta', 'Año Cero', "
        "'Freeware', 2004, 'http://x.org/a?b=1;c', 'Dice:' || char(13, 10) || '\"hola\"'), "
        "(4, 3, '', '', NULL, '', NULL, NULL, ''), (11, 7, 'Sólo', NULL, NULL, NULL, -5, '', "
        "NULL), (12, 0, ' espacios ', 'v', 'e', 'Warez', 0, 'l', 'c'), "
        "(13, 9, '=1+1', '-2', '@cmd', NULL, NULL, '''+x', char(9) || 'tab' || char(13, 10) || "
        "'- y más')"));

    const QByteArray first = exported(source);
    TempCatalogue copy;
    const store::CsvImported result = imported(copy, first);
    EXPECT_EQ(result.programs, 5);
    EXPECT_EQ(exported(copy), first);
    EXPECT_EQ(cdsDump(copy), cdsDump(source));
    EXPECT_EQ(programsDump(copy), programsDump(source));
}

TEST(CsvCheck, EveryBadLineIsNamedAndNothingIsWritten) {
    using namespace std::literals;
    struct Case {
        std::string_view line;
        const char *reason;
    };
    // The first line's comment spans two lines, so the bad ones begin at line 4.
    const Case cases[] = {
        {"abc,2004-01-01,Uno,1,,,", "no es un número entero"},
        {"99999999999,2004-01-01,Dos,1,,,", "fuera del rango"},
        {"1,2004-02-30,Tres,1,,,", "fecha"},
        {"1,2004-01-01,Cuatro,1,Gratis,,", "licencia"},
        {"1,2004-01-01,Cinco,1,,19x5,", "Año"},
        {"1,2004-01-01,,1,,,", "nombre"},
        {",2004-01-01,Siete,1,,,", "número de CD"},
        {"1,2004-01-01,Ocho,1", "4 campos"},
        {"1,2004-01-01,\"Nueve\" x,1,,,", "comillas"},
        {"1,2004-01-01,Once,1,,,x7", "Nro. programa: «x7» no es un número entero"},
        {"1,2004-01-01,Doce,1,,,100", "el número de programa 100 ya es el de la línea 2"},
        {"-5,2004-01-01,Trece,1,,,", "negativo"},
        {"1,2004-01-01,Cator\x01"
         "ce,1,,,",
         "Programa: tiene el carácter de control U+0001"},
        {"1,2004-01-01,Quince,1\0,,,"sv, "Versión: tiene el carácter de control U+0000"},
        {"1,2004-01-01,\"Diez,1,,", "comillas sin cerrar"},
    };
    QByteArray csv = "Nro. CD,Fecha,Programa,Versión,Licencia,Año,Nro. programa\r\n"
                     "1,2004-01-01,Bien,\"dos\r\nlíneas\",Demo,2004,100\r\n";
    for (const Case &c : cases)
        csv += QByteArray(c.line.data(), qsizetype(c.line.size())) + "\r\n";

    TempCatalogue catalogue;
    const std::vector<store::CsvProblem> problems = checked(catalogue, csv).problems;
    ASSERT_EQ(problems.size(), std::size(cases));
    for (size_t i = 0; i < problems.size(); ++i) {
        EXPECT_EQ(problems[i].line, int(i) + 4) << cases[i].line;
        EXPECT_TRUE(problems[i].reason.contains(QString::fromUtf8(cases[i].reason)))
            << problems[i].reason.toStdString();
    }

    EXPECT_THROW(imported(catalogue, csv), store::CsvRejected);
    EXPECT_EQ(catalogue.queryInt(QStringLiteral("SELECT count(*) FROM Discos")), 0);
    EXPECT_EQ(catalogue.queryInt(QStringLiteral("SELECT count(*) FROM Programas")), 0);
}

TEST(CsvImport, SemicolonSpreadsheetInSpanishCreatesTheMissingCds) {
    TempCatalogue catalogue(true);
    const QString firstCd = cdsDump(catalogue, QStringLiteral("WHERE NroDisco = 1"));
    const qint64 highest = catalogue.queryInt(QStringLiteral("SELECT max(NroPrograma) FROM "
                                                             "Programas"));
    const QByteArray csv = "\xEF\xBB\xBF"
                           "CD;NOMBRE;Version;Editor;licencia;Año;URL;Comentarios\n"
                           "500;Gimp;2,10;GNU;freeware;2019;https://gimp.org;\"Editor\n"
                           "de imágenes\"\n"
                           "1;Otro;;;;;;\n"
                           "501;Tercero;1;;DEMO;;;\n";
    const store::CsvImported result = imported(catalogue, csv);

    EXPECT_EQ(result.programs, 3);
    EXPECT_EQ(std::set<qint64>(result.addedCds.begin(), result.addedCds.end()),
              (std::set<qint64>{500, 501}));
    EXPECT_EQ(cdsDump(catalogue, QStringLiteral("WHERE NroDisco = 1")), firstCd);
    EXPECT_EQ(catalogue.queryText(QStringLiteral("SELECT DescripcionDisco || '|' || FechaDisco "
                                                 "FROM Discos WHERE NroDisco = 500")),
              QStringLiteral("|1899-12-30"));
    EXPECT_EQ(programsDump(catalogue, QStringLiteral("WHERE NroPrograma > %1").arg(highest)),
              QStringLiteral("[%1,500,\"Gimp\",\"2,10\",\"GNU\",\"Freeware\",2019,"
                             "\"https://gimp.org\",\"Editor\\r\\nde imágenes\"]\n"
                             "[%2,1,\"Otro\",null,null,null,null,null,null]\n"
                             "[%3,501,\"Tercero\",\"1\",null,\"Demo\",null,null,null]")
                  .arg(highest + 1)
                  .arg(highest + 2)
                  .arg(highest + 3));
}

TEST(CsvExport, TheQueriesRowsComeBackOnTheirCd) {
    namespace joined = store::schema::joined;
    TempCatalogue source(true);
    Opened opened(source);
    store::TableCursor view(store::schema::table(joined::table));
    view.setConnection(&opened.connection);
    view.Open();
    view.setFilter(
        store::TableCursor::equalsFilter(store::schema::field(joined::Cd), QStringLiteral("2")));
    view.setFiltered(true);
    view.setIndexFieldNames(store::schema::field(joined::Name));
    const QString path = QDir(source.dir()).filePath(QStringLiteral("consulta.csv"));
    store::writeCatalogueCsv(view, path, store::FileCalls::system());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));

    TempCatalogue copy;
    EXPECT_EQ(imported(copy, file.readAll()).addedCds, std::vector<qint64>{2});
    const QString rows = QStringLiteral(
        "SELECT group_concat(r, char(10)) FROM (SELECT json_array(%1) AS r FROM %2 %3 ORDER BY "
        "%4)");
    const QStringList fields(std::begin(joined::fields), std::end(joined::fields));
    const QString viewName = store::schema::table(joined::table);
    EXPECT_EQ(
        copy.queryText(rows.arg(fields.join(u','), viewName, QString(), fields[joined::Name])),
        source.queryText(rows.arg(fields.join(u','), viewName, QStringLiteral("WHERE NroDisco = 2"),
                                  fields[joined::Name])));
    // Numbered in the view's order.
    EXPECT_EQ(copy.queryText(QStringLiteral("SELECT NombrePrograma FROM Programas ORDER BY "
                                            "NroPrograma LIMIT 1")),
              view.displayText(0, joined::Name));
}

TEST(CsvReading, GuessesTitlesEncodingAndColumns) {
    using store::CsvColumn;
    using store::CsvEncoding;
    struct Case {
        QByteArray csv;
        std::optional<CsvEncoding> chosen;
        bool titles;
        CsvEncoding encoding;
        QString first; // the first row's first field
        std::vector<std::optional<CsvColumn>> columns;
    };
    const Case cases[] = {
        {"\xc3\x91"
         "and\xc3\xba,2\r\nOtro,3\r\n",
         {},
         false,
         CsvEncoding::Utf8,
         "Ñandú",
         {CsvColumn::Name, CsvColumn::CdNumber}},
        {"Uno,Dos\r\nA,2\r\nB,3\r\n", {}, true, CsvEncoding::Utf8, "A", {{}, {}}},
        {"Nombre,CD\r\nA,x\r\n",
         {},
         true,
         CsvEncoding::Utf8,
         "A",
         {CsvColumn::Name, CsvColumn::CdNumber}},
        {"1,Desc,2004-01-01,,10,Prog,1.0,Emp,Freeware,2004,l,c\r\n",
         {},
         false,
         CsvEncoding::Utf8,
         "1",
         {CsvColumn::CdNumber, CsvColumn::CdDescription, CsvColumn::CdDate, CsvColumn::CdComment,
          CsvColumn::ProgramNumber, CsvColumn::Name, CsvColumn::Version, CsvColumn::Publisher,
          CsvColumn::Licence, CsvColumn::Year, CsvColumn::Link, CsvColumn::Comment}},
        // A value that happens to be a known title, beside numbers like the rows below.
        {"1,Uno,Empresa\r\n2,Dos,X\r\n",
         {},
         false,
         CsvEncoding::Utf8,
         "1",
         {CsvColumn::CdNumber, CsvColumn::Name, {}}},
        // One stray Windows-1252 byte in a UTF-8 file.
        {"Programa,Versi\xc3\xb3n\r\n\xc3\x91"
         "and\xc3\xba,1\r\nCaf\xe9,2\r\n",
         {},
         true,
         CsvEncoding::Utf8,
         "Ñandú",
         {CsvColumn::Name, CsvColumn::Version}},
        {"Programa,Versi\xf3n\r\n\xd1"
         "and\xfa,1\r\n",
         {},
         true,
         CsvEncoding::Windows1252,
         "Ñandú",
         {CsvColumn::Name, CsvColumn::Version}},
        {"Programa\r\nPrecio \xa4\r\n",
         CsvEncoding::Iso885915,
         true,
         CsvEncoding::Iso885915,
         "Precio €",
         {CsvColumn::Name}},
    };
    for (const Case &c : cases) {
        store::CsvOptions options;
        options.encoding = c.chosen;
        const store::CsvFile file = store::readCatalogueCsv(c.csv, options);
        SCOPED_TRACE(c.csv.toStdString());
        EXPECT_EQ(file.titles, c.titles);
        EXPECT_EQ(file.encoding, c.encoding);
        ASSERT_FALSE(file.rows.empty());
        EXPECT_EQ(file.rows.front().fields.at(0).text, c.first);
        EXPECT_EQ(file.mapping.columns, c.columns);
    }
}

TEST(CsvCheck, AgainstTheCatalogueAndTheFileAsAWhole) {
    TempCatalogue catalogue(true);
    const QString first = catalogue.queryText("SELECT NombrePrograma FROM Programas WHERE "
                                              "NroPrograma = 1");
    struct Case {
        QByteArray csv;
        QString problem; // the first one, at line 2 when line 1 has the titles
        qint64 changedCds;
        qint64 bareLineFeeds;
    };
    const Case cases[] = {
        {"Nro. CD,Programa,Nro. programa\r\n500,Nuevo,1\r\n",
         QStringLiteral("el número de programa 1 ya es de «%1»").arg(first), 0, 0},
        {"Nro. CD,Descripción CD,Programa\r\n1,Otra cosa,Nuevo\r\n", {}, 1, 0},
        {"Nro. CD,Comentario CD\n1,\"a\nb\"\n", {}, 0, 1},
        {"Nro. CD,Programa,Versi\xc3\xb3n\r\n1,Caf\xe9,\xc3\x91\r\n", "no es texto UTF-8", 0, 0},
        {QByteArray("\x7f"
                    "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0",
                    20),
         "no es un archivo CSV", 0, 0},
    };
    for (const Case &c : cases) {
        const store::CsvCheck check = checked(catalogue, c.csv);
        SCOPED_TRACE(c.csv.toStdString());
        EXPECT_EQ(check.problems.empty() ? QString()
                                         : check.problems.front().reason.left(c.problem.size()),
                  c.problem);
        EXPECT_EQ(check.changedCdCount, c.changedCds);
        EXPECT_EQ(check.bareLineFeeds, c.bareLineFeeds);
    }
    // A long list of bad lines is cut; the counts go on.
    const int kListed = store::CsvOptions().listed;
    QByteArray many = "Nro. CD,Programa\r\n";
    for (int line = 0; line < kListed + 500; ++line)
        many += "-1,Malo\r\n";
    const store::CsvCheck check = checked(catalogue, many);
    EXPECT_EQ(check.problems.size(), size_t(kListed));
    EXPECT_EQ(check.badLines, kListed + 500);
}

TEST(CsvImport, TheCataloguesOwnFileIsSkippedOrAddedAgainUnderNewNumbers) {
    TempCatalogue catalogue(true);
    const QByteArray own = exported(catalogue);
    const qint64 programs = catalogue.queryInt("SELECT count(*) FROM Programas");
    const QString before = programsDump(catalogue);
    // Every line, a CD's without programs too, is already there.
    const store::CsvCheck check = checked(catalogue, own);
    EXPECT_EQ(check.present, check.rows);
    for (const auto duplicates : {store::CsvDuplicates::Skip, store::CsvDuplicates::Add}) {
        store::CsvOptions options;
        options.duplicates = duplicates;
        const store::CsvImported result = imported(catalogue, own, options);
        const bool add = duplicates == store::CsvDuplicates::Add;
        EXPECT_EQ(result.programs, add ? programs : 0);
        EXPECT_EQ(result.skipped, add ? 0 : programs);
        EXPECT_EQ(result.renumbered, add ? programs : 0);
        EXPECT_EQ(catalogue.queryInt("SELECT count(*) FROM Programas"),
                  add ? 2 * programs : programs);
    }
    // The catalogue's own programs keep their numbers.
    EXPECT_TRUE(programsDump(catalogue).startsWith(before));
}

TEST(CsvImport, ANumberGivenLaterWinsOverOneTheImportChose) {
    TempCatalogue catalogue(true);
    const qint64 next = catalogue.queryInt("SELECT max(NroPrograma) FROM Programas") + 1;
    imported(catalogue, QStringLiteral("Nro. CD,Programa,Nro. programa\r\n500,Sin número,\r\n"
                                       "500,Con número,%1\r\n")
                            .arg(next)
                            .toUtf8());
    EXPECT_EQ(catalogue.queryText(
                  QStringLiteral("SELECT group_concat(NroPrograma || '=' || NombrePrograma) FROM "
                                 "Programas WHERE NroDisco = 500")),
              QStringLiteral("%1=Con número,%2=Sin número").arg(next).arg(next + 1));
}

TEST(CsvImport, ACancelLeavesTheCatalogueAsItWas) {
    TempCatalogue catalogue;
    QByteArray csv = "Nro. CD,Programa\r\n";
    while (csv.size() < 3 << 20)
        csv += "1,Un programa de nombre bastante largo para llenar el archivo\r\n";
    int calls = 0;
    Opened opened(catalogue);
    EXPECT_THROW(store::importCatalogueCsv(opened.connection, csvFile(catalogue, csv), {},
                                           [&](qint64, qint64) { return ++calls < 4; }),
                 store::CsvCancelled);
    EXPECT_GE(calls, 4);
    EXPECT_EQ(catalogue.queryInt("SELECT count(*) FROM Programas"), 0);
}

class CsvImportWindowTest : public AppFixture {};

TEST_F(CsvImportWindowTest, SaysWhatItWillDoCountingOneAsOne) {
    start(true, false);
    const struct {
        QByteArray csv;
        QString said;
        bool importable;
    } cases[] = {
        {"Nro. CD,Programa\r\n4,Uno\r\n", "Se importará 1 línea.", true},
        {"Nro. CD,Programa\r\n4,Uno\r\n4,Dos\r\n", "Se importarán 2 líneas.", true},
        {"Nro. CD,Programa\r\n-4,Uno\r\n4,Dos\r\n",
         "No se puede guardar 1 línea de 2: no se importará nada hasta corregirla", false},
        {"Nro. CD,Programa,Nota\r\n4,Uno,x\r\n", "No se importa la columna: «Nota».", true},
        {"Programa,Nota\r\nUno,x\r\n", "No se importará nada: falta la columna del número", false},
        {QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "«entrada.csv» no es un archivo CSV.",
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.csv.toStdString());
        TFormImportarCsv window(fake.services(), data());
        window.load(QFile::encodeName(csvFile(*catalogue, c.csv)));
        EXPECT_TRUE(window.Estado->text().contains(c.said)) << window.Estado->text().toStdString();
        EXPECT_EQ(window.Importar->isEnabled(), c.importable);
    }
}
