#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "store/exchange/CatalogueCsv.h"
#include "store/files/FileCalls.h"
#include "store/schema/Schema.h"
#include "support/QtPrinters.h"
#include "support/TempCatalogue.h"

#include <QDir>
#include <QFile>
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
        "(13, 9, '=1+1', '-2', '@cmd', NULL, NULL, '+x', char(9) || 'tab' || char(13, 10) || "
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
