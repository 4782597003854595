// vadrel-db export as a script runs it: without a display, each format by the file's name, and
// nothing written when anything fails.
#include "RunTool.h"
#include "support/TempCatalogue.h"

#include <QProcess>
#include <gtest/gtest.h>

TEST(ExportCommandTest, WritesByTheExtensionWithoutADisplayAndNothingOnAFailure) {
    const TempCatalogue catalogue(true), none(false, false);
    const QByteArray folder = QFile::encodeName(catalogue.dir()),
                     empty = QFile::encodeName(none.dir());
    const QByteArray program =
        catalogue.queryText("SELECT NombrePrograma FROM Programas WHERE NroPrograma = 1").toUtf8();
    const QByteArray earlier = folder + "/anterior.pdf";
    ASSERT_TRUE(writeFile(earlier, "lo de antes"));
    // As from cron: no display and no Qt platform chosen.
    qunsetenv("DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    // The text a reader finds in the file: the PDF's, the spreadsheet's content, or the bytes.
    const auto readBack = [](const QByteArray &file) {
        const QString name = QFile::decodeName(file);
        QProcess reader;
        if (file.endsWith(".pdf"))
            reader.start(QStringLiteral("pdftotext"), {name, QStringLiteral("-")});
        else if (file.endsWith(".ods"))
            reader.start(QStringLiteral("unzip"), {QStringLiteral("-p"), name});
        else
            return readFile(file);
        reader.waitForFinished(60000);
        return reader.readAllStandardOutput();
    };
    const struct {
        QByteArray place, file;
        int status;
        QByteArray said; // in the file written, or on stderr
    } cases[] = {
        {folder, "lista.csv", 0, "\xEF\xBB\xBFNro. CD,"},
        {folder, "hoja.ods", 0, "application/vnd.oasis.opendocument.spreadsheet<?xml"},
        {folder, "INFORME.HTML", 0, "<h1>Catálogo de CDs</h1>"},
        {folder, "informe.pdf", 0, "Página 1 de "},
        {folder, "lista.txt", 2, ".csv, .ods, .html, .htm or .pdf"},
        {empty, "anterior.pdf", 1, "no catalogue in " + empty},
        {folder, "falta/lista.csv", 1, "cannot write " + folder},
    };
    for (const auto &entry : cases) {
        SCOPED_TRACE(entry.file.toStdString());
        const QByteArray file = folder + "/" + entry.file;
        const std::set<QByteArray> before = entries(folder);
        const ToolRun run = runTool(VADREL_DB, {"export", entry.place, file});
        EXPECT_EQ(run.status, entry.status);
        if (entry.status == 0) {
            EXPECT_EQ(run.err, "");
            const QByteArray written = readBack(file);
            EXPECT_TRUE(written.contains(entry.said) && written.contains(program));
        } else {
            EXPECT_TRUE(run.err.contains(entry.said)) << run.err.constData();
            EXPECT_EQ(entries(folder), before);
            EXPECT_EQ(readFile(earlier), "lo de antes");
        }
    }
}
