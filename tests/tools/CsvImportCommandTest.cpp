// vadrel-db import-csv on real catalogues: what it stores, what it says, and that a bad line
// leaves the catalogue as it was.
#include "RunTool.h"
#include "support/QtPrinters.h"
#include "support/TempCatalogue.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

const QByteArray kTool = VADREL_DB;

} // namespace

TEST(CsvImportCommandTest, StoresAllOrNothingAndSaysWhatItDid) {
    const struct {
        QByteArray csv;
        std::vector<QByteArray> options;
        int status;
        QByteArray out; // a line the output has
        QByteArray err; // a line of stderr
        qint64 added;   // programs the catalogue gained
    } cases[] = {
        {"Nro. CD,Programa\r\n500,Uno\r\n500,Dos\r\n",
         {},
         0,
         "Imported 2 programs and created 1 CD in ",
         "",
         2},
        {"500,Uno\r\n", {"--no-header"}, 0, "line 1 as a row (no titles)", "", 1},
        {"Nro. CD,Programa,Extra\r\n500,\xd1"
         "and\xfa,x\r\n",
         {"--encoding", "windows-1252"},
         0,
         "as Windows-1252",
         "warning: the column Extra is not imported",
         1},
        {"Nro. CD,Programa\r\n-1,Uno\r\n500,Dos\r\nabc,Tres\r\n",
         {},
         1,
         "",
         "entrada.csv:2: el número de CD -1 es negativo\n"
         "vadrel-db: entrada.csv:4: Nro. CD: «abc» no es un número entero\n"
         "vadrel-db: 2 bad lines; nothing imported\n",
         0},
        {QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
         {},
         1,
         "",
         "entrada.csv is not a CSV file",
         0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.csv.toStdString());
        TempCatalogue catalogue(true);
        const qint64 before = catalogue.queryInt("SELECT count(*) FROM Programas");
        const QByteArray folder = QFile::encodeName(catalogue.dir());
        ASSERT_TRUE(writeFile(folder + "/entrada.csv", c.csv));
        std::vector<QByteArray> arguments{"import-csv", "entrada.csv", folder};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const ToolRun run = runTool(kTool, arguments, folder);
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(c.out)) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(c.err)) << run.err.toStdString();
        EXPECT_EQ(catalogue.queryInt("SELECT count(*) FROM Programas"), before + c.added);
    }
}

TEST(CsvImportCommandTest, RowsAlreadyThereAreSkippedUnlessAddedAgain) {
    TempCatalogue catalogue(true);
    const QByteArray folder = QFile::encodeName(catalogue.dir());
    ASSERT_TRUE(writeFile(folder + "/propio.csv",
                          "Nro. CD,Programa,Versi\xc3\xb3n,Nro. programa\r\n" +
                              catalogue
                                  .queryText("SELECT NroDisco || ',' || NombrePrograma || ',' || "
                                             "ifnull(Version, '') || ',' || NroPrograma FROM "
                                             "Programas WHERE NroPrograma = 1")
                                  .toUtf8() +
                              "\r\n"));
    const qint64 before = catalogue.queryInt("SELECT count(*) FROM Programas");
    const struct {
        std::vector<QByteArray> options;
        QByteArray out;
        qint64 added;
    } cases[] = {
        {{}, "Skipped 1 row already in the catalogue", 0},
        {{"--duplicates", "add"}, "Gave new numbers to 1 program added again", 1},
    };
    for (const auto &c : cases) {
        std::vector<QByteArray> arguments{"import-csv", folder + "/propio.csv", folder};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const ToolRun run = runTool(kTool, arguments);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(c.out)) << run.out.toStdString();
        EXPECT_EQ(catalogue.queryInt("SELECT count(*) FROM Programas"), before + c.added);
    }
    const ToolRun wrong = runTool(kTool, {"import-csv", "propio.csv", folder, "--duplicates", "x"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.err.startsWith("vadrel-db: --duplicates takes skip or add\n"));
}
