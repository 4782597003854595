// `vadrel [CARPETA]`: the arguments, and the first run in a folder without a catalogue.
#include "mainwin/CommandLine.h"
#include "mainwin/CatalogueFolder.h"
#include "store/catalogue/Catalogue.h"
#include "support/FakePlatform.h"
#include "support/QtPrinters.h"
#include "support/TempCatalogue.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>
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

namespace {

// A folder's entries as the file system names them, in order; none when it is missing.
QList<QByteArray> entries(const QByteArray &folder) {
    QList<QByteArray> names;
    if (DIR *dir = ::opendir(folder.constData())) {
        while (const dirent *entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names << QByteArray(entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// The folder becomes the working directory; one without a catalogue is offered an empty one
// with its help pages and nothing else, and "No" creates nothing and opens the folder chooser.
TEST(CommandLine, AFolderWithoutACatalogueIsOfferedOne) {
    const struct {
        const char *what;
        bool folderThere;
        bool catalogueThere;
        bool yes;
        bool entered;
        QStringList files; // in the folder afterwards
        int boxes;         // offer
        QByteArray name = "datos/vadrel";
        bool choosesAnother = false; // after "No", the chooser picks a catalogue elsewhere
    } cases[] = {
        {"a catalogue folder", true, true, false, true, {"ayuda", "db.mdb"}, 0},
        {"no folder, yes", false, false, true, true, {"ayuda", "db.mdb"}, 1},
        {"no folder, no, chooser cancelled", false, false, false, false, {}, 1},
        {"an empty folder, yes", true, false, true, true, {"ayuda", "db.mdb"}, 1},
        {"an empty folder, no, chooser cancelled", true, false, false, false, {}, 1},
        {"an empty folder, no, another chosen",
         true,
         false,
         false,
         true,
         {},
         1,
         "datos/vadrel",
         true},
        // A name that is no valid text reaches the file system as it is.
        {"no folder named in Latin-1, yes",
         false,
         false,
         true,
         true,
         {"ayuda", "db.mdb"},
         1,
         "datos/cat\xe1logo"},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.what);
        QTemporaryDir home;
        const QByteArray bytes = QFile::encodeName(home.path()) + '/' + test.name;
        const QString folder = QFile::decodeName(bytes);
        // Qt cannot name a folder whose name is no valid text, so it is removed by its bytes.
        const auto cleanup = qScopeGuard([&] {
            std::error_code ignored;
            std::filesystem::remove_all(bytes.constData(), ignored);
        });
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
        const TempCatalogue another(false);
        if (test.choosesAnother)
            fake.dialogs.folders = {QFile::encodeName(another.dir())};
        const ScopedCwd back(QDir::currentPath());
        const QString before = QDir::currentPath();
        EXPECT_EQ(enterCatalogueFolder(bytes, fake.services()), test.entered);
        ASSERT_EQ(int(fake.dialogs.boxes.size()), test.boxes);
        if (test.boxes > 0) {
            EXPECT_EQ(fake.dialogs.boxes[0].kind, FakeDialogs::Box::Confirm);
            EXPECT_TRUE(fake.dialogs.boxes[0].text.contains(folder));
        }
        // Only "No" leads to the chooser.
        EXPECT_EQ(fake.dialogs.catalogueChoices, test.boxes > 0 && !test.yes ? 1 : 0);
        char here[4096];
        EXPECT_EQ(QByteArray(::getcwd(here, sizeof here)), !test.entered ? QFile::encodeName(before)
                                                           : test.choosesAnother
                                                               ? QFile::encodeName(another.dir())
                                                               : bytes);
        // By the file system's own names: no second folder under another spelling.
        EXPECT_EQ(entries(QFile::encodeName(home.path()) + "/datos"),
                  test.folderThere || test.yes ? QList<QByteArray>{test.name.mid(6)}
                                               : QList<QByteArray>());
        QList<QByteArray> files;
        for (const QString &file : test.files)
            files << file.toUtf8();
        EXPECT_EQ(entries(bytes), files);
        if (test.yes) {
            // Empty and sound, as init makes it.
            EXPECT_TRUE(store::catalogueHolds(bytes + "/db.mdb", 0, 0));
            EXPECT_EQ(::access((bytes + "/ayuda/ayuda.htm").constData(), R_OK), 0);
        }
    }
}

// A path that can hold no catalogue gets a box with the real reason, no offer, and nothing is
// made anywhere.
TEST(CommandLine, APathThatCanHoldNoCatalogueSaysWhy) {
    QTemporaryDir home;
    const QByteArray root = QFile::encodeName(home.path());
    ASSERT_TRUE(QFile(home.filePath("archivo")).open(QIODevice::WriteOnly));
    ASSERT_EQ(::symlink("nada", (root + "/colgante").constData()), 0);
    ASSERT_EQ(::symlink("ciclo-b", (root + "/ciclo-a").constData()), 0);
    ASSERT_EQ(::symlink("ciclo-a", (root + "/ciclo-b").constData()), 0);
    const QList<QByteArray> before = entries(root);
    const struct {
        const char *name;
        const char *reason;
    } cases[] = {
        {"archivo", "es un archivo, no una carpeta"},
        {"archivo/sub", "una parte de su ruta es un archivo, no una carpeta"},
        {"colgante", "es un enlace simbólico a algo que no existe"},
        {"ciclo-a", "sus enlaces simbólicos forman un ciclo"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform fake;
        fake.dialogs.answers = {true}; // would create, were it asked
        const ScopedCwd back(QDir::currentPath());
        const QByteArray path = root + '/' + c.name;
        const QString here = QDir::currentPath();
        EXPECT_FALSE(enterCatalogueFolder(path, fake.services()));
        EXPECT_EQ(QDir::currentPath(), here);
        ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
        EXPECT_EQ(fake.dialogs.boxes[0].kind, FakeDialogs::Box::Error);
        EXPECT_EQ(fake.dialogs.boxes[0].text,
                  QStringLiteral(" No se puede abrir un catálogo en \"%1\": %2 ")
                      .arg(QFile::decodeName(path), QString::fromUtf8(c.reason)));
        EXPECT_EQ(entries(root), before);
    }
}
