// `vadrel [CARPETA]`: the arguments, and the first run in a folder without a catalogue.
#include "Catalogue.h"
#include "CommandLine.h"
#include "FakePlatform.h"
#include "QtPrinters.h"
#include "TempCatalogue.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

TEST(CommandLine, ArgumentsAreReadBeforeAnythingElse) {
    using Action = Invocation::Action;
    const struct {
        std::vector<const char *> arguments;
        Action action;
        QByteArray folder;
    } cases[] = {
        {{}, Action::Run, ""},
        {{"/home/ana/cds"}, Action::Run, "/home/ana/cds"},
        {{"cat\xe1logo"}, Action::Run, "cat\xe1logo"}, // the file system's bytes, as they are
        {{"--help"}, Action::Help, ""},
        {{"carpeta", "-h"}, Action::Help, ""},
        {{"--version"}, Action::Version, ""},
        {{"--carpeta"}, Action::Wrong, ""},
        {{"uno", "dos"}, Action::Wrong, ""},
        {{""}, Action::Wrong, ""},
        {{"-"}, Action::Run, "-"},
    };
    for (const auto &test : cases) {
        std::vector<char *> argv{const_cast<char *>("vadrel")};
        for (const char *argument : test.arguments)
            argv.push_back(const_cast<char *>(argument));
        const Invocation invocation = readArguments(int(argv.size()), argv.data());
        SCOPED_TRACE(test.arguments.empty() ? "" : test.arguments.front());
        EXPECT_EQ(invocation.action, test.action);
        if (test.action == Action::Run) {
            EXPECT_EQ(invocation.folder, test.folder);
        }
        EXPECT_EQ(invocation.problem.isEmpty(), test.action != Action::Wrong);
    }
    EXPECT_TRUE(versionText().startsWith(QStringLiteral("vadrel 1.")));
}

// The folder becomes the working directory; one without a catalogue is offered an empty one
// with its help pages and nothing else, and "No" creates nothing.
TEST(CommandLine, AFolderWithoutACatalogueIsOfferedOne) {
    const struct {
        const char *what;
        bool folderThere;
        bool catalogueThere;
        bool yes;
        bool entered;
        QStringList files; // in the folder afterwards
        int boxes;         // offer, error
    } cases[] = {
        {"a catalogue folder", true, true, false, true, {"ayuda", "db.mdb"}, 0},
        {"no folder, yes", false, false, true, true, {"ayuda", "db.mdb"}, 1},
        {"no folder, no", false, false, false, false, {}, 2},
        {"an empty folder, yes", true, false, true, true, {"ayuda", "db.mdb"}, 1},
        {"an empty folder, no", true, false, false, true, {}, 1},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.what);
        QTemporaryDir home;
        const QString folder = QDir(home.path()).filePath(QStringLiteral("datos/vadrel"));
        if (test.folderThere) {
            ASSERT_TRUE(QDir().mkpath(folder));
        }
        if (test.catalogueThere) {
            TempCatalogue made(false);
            ASSERT_TRUE(QFile::copy(made.dbPath(), QDir(folder).filePath("db.mdb")));
            ASSERT_TRUE(QDir(folder).mkdir("ayuda"));
        }
        FakePlatform fake;
        fake.dialogs.answers = {test.yes};
        const ScopedCwd back(QDir::currentPath());
        EXPECT_EQ(enterCatalogueFolder(QFile::encodeName(folder), fake.services()), test.entered);
        ASSERT_EQ(int(fake.dialogs.boxes.size()), test.boxes);
        if (test.boxes > 0) {
            EXPECT_EQ(fake.dialogs.boxes[0].kind, FakeDialogs::Box::Confirm);
            EXPECT_TRUE(fake.dialogs.boxes[0].text.contains(folder));
        }
        if (test.boxes > 1) {
            EXPECT_TRUE(fake.dialogs.boxes[1].text.contains(
                QStringLiteral("No se encuentra la base de datos")));
        }
        if (test.entered) {
            EXPECT_EQ(QDir::currentPath(), folder);
        }
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  test.files);
        if (test.yes) {
            // Empty and sound, as init makes it.
            EXPECT_TRUE(store::catalogueHolds(QFile::encodeName(folder) + "/db.mdb", 0, 0));
            EXPECT_TRUE(QFileInfo::exists(QDir(folder).filePath("ayuda/ayuda.htm")));
        }
    }
}
