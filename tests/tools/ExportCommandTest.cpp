// vadrel-db export as a script runs it: without a display, each format by the file's name, and
// nothing written when anything fails.
#include "RunTool.h"
#include "support/TempCatalogue.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

const QByteArray kTool = VADREL_DB;

// As from cron: no display and no Qt platform chosen.
class NoDisplay {
public:
    NoDisplay()
        : display_(qgetenv("DISPLAY"))
        , platform_(qgetenv("QT_QPA_PLATFORM")) {
        qunsetenv("DISPLAY");
        qunsetenv("QT_QPA_PLATFORM");
    }
    ~NoDisplay() {
        qputenv("DISPLAY", display_);
        qputenv("QT_QPA_PLATFORM", platform_);
    }

private:
    QByteArray display_, platform_;
};

QString pdfText(const QByteArray &file) {
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), {QFile::decodeName(file), QStringLiteral("-")});
    reader.waitForFinished(60000);
    return QString::fromUtf8(reader.readAllStandardOutput());
}

} // namespace

TEST(ExportCommandTest, WritesEachFormatByTheFilesExtension) {
    const TempCatalogue catalogue(true);
    const QByteArray folder = QFile::encodeName(catalogue.dir());
    const QString program =
        catalogue.queryText("SELECT NombrePrograma FROM Programas ORDER BY NroPrograma LIMIT 1");
    const NoDisplay cron;
    const struct {
        const char *file;
        std::function<bool(const QByteArray &)> holds;
    } cases[] = {
        {"lista.csv",
         [&](const QByteArray &bytes) {
             return bytes.startsWith("\xEF\xBB\xBFNro. CD,") && bytes.contains(program.toUtf8());
         }},
        {"INFORME.HTML",
         [&](const QByteArray &bytes) {
             return bytes.contains("<h1>Catálogo de CDs</h1>") && bytes.contains(program.toUtf8());
         }},
        {"informe.pdf",
         [&](const QByteArray &) {
             const QString text = pdfText(folder + "/informe.pdf");
             return text.contains(program) && text.contains(QStringLiteral("Página 1 de "));
         }},
    };
    for (const auto &entry : cases) {
        SCOPED_TRACE(entry.file);
        const QByteArray file = folder + "/" + entry.file;
        const ToolRun run = runTool(kTool, {"export", folder, file});
        EXPECT_EQ(run.status, 0) << run.err.constData();
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(entry.holds(readFile(file)));
    }
}

TEST(ExportCommandTest, RefusalsAndFailuresWriteNothing) {
    const TempCatalogue catalogue(true);
    const TempCatalogue none(false, false);
    const QByteArray folder = QFile::encodeName(catalogue.dir());
    const QByteArray empty = QFile::encodeName(none.dir());
    const QByteArray earlier = folder + "/anterior.pdf";
    ASSERT_TRUE(writeFile(earlier, "lo de antes"));
    const struct {
        std::vector<QByteArray> arguments;
        int status;
        QByteArray said; // part of stderr
    } cases[] = {
        {{"export", folder, folder + "/lista.txt"}, 2, ".csv, .html, .htm or .pdf"},
        {{"export", folder}, 2, "export takes"},
        {{"export", empty, earlier}, 1, "no catalogue in " + empty},
        {{"export", folder, folder + "/falta/lista.csv"}, 1, "cannot write " + folder},
        {{"export", folder + "/falta", folder + "/lista.html"}, 1, "no catalogue"},
    };
    for (const auto &entry : cases) {
        SCOPED_TRACE(entry.arguments.back().toStdString());
        const std::set<QByteArray> before = entries(folder);
        const ToolRun run = runTool(kTool, entry.arguments);
        EXPECT_EQ(run.status, entry.status);
        EXPECT_TRUE(run.err.contains(entry.said)) << run.err.constData();
        EXPECT_EQ(entries(folder), before);
        EXPECT_EQ(readFile(earlier), "lo de antes");
    }
}
