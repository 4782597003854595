// vadrel-db run as the user runs it: folders whose names are no valid text (a Latin-1 "café"
// made on an older system), its version, and the short hint a wrong call gets.
#include "RunTool.h"
#include "store/catalogue/Catalogue.h"
#include "support/QtPrinters.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const QByteArray kTool = VADREL_DB;
const QByteArray kHint = "Try 'vadrel-db --help' for more information.\n";

} // namespace

// Each command works in the folder named by its bytes, creates nothing under another spelling of
// the name, names the folder in its messages as it was typed, and keeps its refusals.
TEST(VadrelDbTest, FolderNamesThatAreNoValidText) {
    const struct {
        const char *what;
        std::vector<QByteArray> command;
        bool relative;        // DIR given relative to the working directory
        QByteArray said;      // stdout, with DIR standing for the folder as given
        qint64 cds, programs; // what db.mdb holds; -1: no db.mdb
        QByteArray again;     // stderr or stdout of the same call a second time
        int againStatus;
    } cases[] = {
        {"init",
         {"init"},
         false,
         "Created DIR/db.mdb\nWrote the help pages into DIR/ayuda\n",
         0,
         0,
         "vadrel-db: DIR/db.mdb already exists; it was left untouched\n",
         1},
        {"init --sample, the folder relative",
         {"init", "--sample"},
         true,
         "Created DIR/db.mdb with the sample catalogue\nWrote the help pages into DIR/ayuda\n",
         12,
         84,
         "vadrel-db: DIR/db.mdb already exists; it was left untouched\n",
         1},
        {"install-help",
         {"install-help"},
         false,
         "Wrote the help pages into DIR/ayuda\n",
         -1,
         -1,
         "DIR/ayuda already exists; it was left untouched\n",
         0},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.what);
        ByteTempDir parent;
        const QByteArray name = "caf\xe9";
        const QByteArray folder = parent.path() + '/' + name;
        ASSERT_EQ(::mkdir(folder.constData(), 0777), 0);
        const QByteArray given = test.relative ? name : folder;
        std::vector<QByteArray> arguments = test.command;
        arguments.push_back(given);
        const auto spelled = [&](QByteArray text) { return text.replace("DIR", given); };

        const ToolRun run = runTool(kTool, arguments, parent.path());
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, spelled(test.said));
        EXPECT_EQ(run.err, QByteArray());
        EXPECT_EQ(entries(parent.path()), std::set<QByteArray>({name}));
        EXPECT_TRUE(isFile(folder + "/ayuda/ayuda.htm"));
        if (test.cds >= 0) {
            EXPECT_TRUE(store::catalogueHolds(folder + "/db.mdb", test.cds, test.programs));
        } else {
            EXPECT_FALSE(isFile(folder + "/db.mdb"));
        }

        const std::set<QByteArray> made = entries(folder);
        const ToolRun again = runTool(kTool, arguments, parent.path());
        EXPECT_EQ(again.status, test.againStatus);
        EXPECT_EQ(again.status == 0 ? again.out : again.err, spelled(test.again));
        EXPECT_EQ(entries(folder), made);
    }

    // A folder that is not there: init makes it and the folders above it, install-help refuses.
    ByteTempDir parent;
    const QByteArray missing = parent.path() + "/ni\xf1o/" + "caf\xe9";
    const ToolRun help = runTool(kTool, {"install-help", missing});
    EXPECT_EQ(help.status, 1);
    EXPECT_EQ(help.err, "vadrel-db: the folder " + missing + " does not exist\n");
    EXPECT_TRUE(entries(parent.path()).empty());
    const ToolRun init = runTool(kTool, {"init", "--sample", "ni\xf1o/caf\xe9"}, parent.path());
    EXPECT_EQ(init.status, 0) << init.err.toStdString();
    EXPECT_EQ(init.out, "Created the folder ni\xf1o/caf\xe9\nCreated ni\xf1o/caf\xe9/db.mdb with "
                        "the sample catalogue\nWrote the help pages into ni\xf1o/caf\xe9/ayuda\n");
    EXPECT_TRUE(store::catalogueHolds(missing + "/db.mdb", 12, 84));
}

TEST(VadrelDbTest, VersionAndHelp) {
    const ToolRun version = runTool(kTool, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^vadrel-db \\d+\\.\\d+(\\.\\d+)?\\n$"))
                    .match(QString::fromUtf8(version.out))
                    .hasMatch())
        << version.out.toStdString();
    EXPECT_EQ(version.err, QByteArray());

    const ToolRun help = runTool(kTool, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: vadrel-db init [--sample] DIR\n"));
    EXPECT_TRUE(help.out.contains("vadrel-db --help | --version\n"));
    EXPECT_EQ(help.err, QByteArray());
}

// A wrong call says in one line what was wrong, points to --help, exits with 2 and makes
// nothing.
TEST(VadrelDbTest, AWrongCallGetsAOneLineHint) {
    const struct {
        std::vector<QByteArray> arguments;
        QByteArray said;
    } cases[] = {
        {{},
         "expected the command init, install-help, import, import-csv, copy, export, scan or "
         "add-disc"},
        {{"--x"}, "unknown option '--x'"},
        {{"--caf\xe9"}, "unknown option '--caf\xe9'"},
        {{"create", "dir"}, "unknown command 'create'"},
        {{"init"}, "init takes the folder"},
        {{"install-help"}, "install-help takes the folder"},
        {{"init", "--samples", "dir"}, "unknown option '--samples'"},
        {{"install-help", "--sample", "dir"}, "unknown option '--sample'"},
        {{"init", "dir", "other"}, "only one folder can be given"},
        {{"import", "old.mdb"}, "import takes the old file and the folder"},
        {{"import", "old.mdb", "dir", "other"}, "import takes the old file and the folder"},
        {{"--version", "dir"}, "'--version' takes no arguments"},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.said.toStdString());
        ByteTempDir cwd;
        ASSERT_EQ(::mkdir((cwd.path() + "/dir").constData(), 0777), 0);
        const ToolRun run = runTool(kTool, test.arguments, cwd.path());
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "vadrel-db: " + test.said + '\n' + kHint);
        EXPECT_EQ(run.out, QByteArray());
        EXPECT_EQ(entries(cwd.path()), std::set<QByteArray>({"dir"}));
        EXPECT_TRUE(entries(cwd.path() + "/dir").empty());
    }
}

// init that cannot make its catalogue says why and leaves nothing made: a folder deeper than the
// engine's longest path, existing or made by init, and a folder that cannot be made.
TEST(VadrelDbTest, AFolderInitCannotUseSaysSo) {
    ByteTempDir parent;
    QByteArray deep = parent.path();
    for (int level = 0; deep.size() < 600; ++level)
        deep += "/una-carpeta-con-un-nombre-largo-" + QByteArray::number(level);
    const QByteArray tooLong =
        "the path of " + deep + "/db.mdb is longer than the database engine takes (512 bytes)";
    ASSERT_TRUE(writeFile(parent.path() + "/archivo", "x"));
    const struct {
        const char *what;
        bool existing;
        QByteArray folder, said;
    } cases[] = {
        {"a deep folder to make", false, deep, tooLong},
        {"a file on the way", false, parent.path() + "/archivo/cds",
         "cannot make the folder " + parent.path() + "/archivo/cds: Not a directory"},
        {"an existing deep folder", true, deep, tooLong}, // last: it stays
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.what);
        ASSERT_TRUE(!test.existing || QDir().mkpath(QString::fromLocal8Bit(test.folder)));
        const std::set<QByteArray> before = entries(parent.path());
        const ToolRun run = runTool(kTool, {"init", test.folder});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "vadrel-db: " + test.said + '\n');
        EXPECT_EQ(run.out, QByteArray());
        EXPECT_EQ(entries(parent.path()), before);
        EXPECT_TRUE(entries(test.folder).empty());
    }
}
