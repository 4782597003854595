#include "store/catalogue/Catalogue.h"
#include "store/catalogue/HelpPages.h"
#include "store/engine/CatalogueBackup.h"
#include "store/engine/Connection.h"
#include "store/files/ReplacementFile.h"
#include "store/files/StaleFiles.h"
#include "store/files/Windows1252.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "support/TempCatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace store;

TEST(Windows1252, OneByteACharacterAndAQuestionMarkForTheRest) {
    const struct {
        QByteArray utf8, expected;
    } cases[] = {
        {"Versi\xC3\xB3n A\xC3\xB1o", "Versi\xF3n A\xF1o"},
        {"\xE2\x82\xAC 5", "\x80 5"}, // the euro sign has a byte of its own
        {"\xE6\xBC\xA2\xF0\x9F\x98\x80!", "??"
                                          "!"}, // a CJK letter, an emoji
        {"Caf\xE9 Bar", "Caf? Bar"},            // a stray Latin-1 byte swallows nothing
        {"A\xC3"
         "BC",
         "A?BC"}, // a cut sequence
        {QByteArray(), QByteArray()},
        // Past a long ASCII run, the edges of Latin-1: U+0080 is no letter of the code page.
        {"Programas \xC2\x80\xC2\xA0\xC3\xBF", "Programas ?\xA0\xFF"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(utf8ToWindows1252(c.utf8), c.expected) << c.utf8.toStdString();
}

namespace {

// Sets a file's times to a day long before this process started.
void makeOld(const QString &path) {
    const timespec times[2] = {{978307200, 0}, {978307200, 0}}; // 1 January 2001
    ASSERT_EQ(
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

QStringList everything(const QDir &dir) {
    return dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDir::Name);
}

} // namespace

// The new file takes the name's place in its folder: a link by that name is replaced, and no
// file it leads to (outside, inside the folder, through another link) is written.
TEST(ReplacementFile, ReplacesTheNameNeverWhatALinkLeadsTo) {
    const struct {
        const char *what;
        const char *link; // where Listado.txt leads, relative to the folder; null: a plain file
        bool absolute;    // the link holds the absolute path
    } cases[] = {
        {"a plain file", nullptr, false},
        {"a link to a file in another folder", "../outside/real.txt", true},
        {"a relative link to a file in another folder", "../outside/real.txt", false},
        {"a dangling link", "../outside/missing.txt", true},
        {"a chain of two links", "../outside/middle.txt", true},
        {"a link to a file in the same folder", "real.txt", false},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.what);
        QTemporaryDir root;
        const QDir top(root.path());
        ASSERT_TRUE(top.mkdir("folder") && top.mkdir("outside"));
        const QDir dir(top.filePath("folder")), outside(top.filePath("outside"));
        putFileBytes(outside.filePath("real.txt"), "the file elsewhere, longer than the new");
        putFileBytes(dir.filePath("real.txt"), "the file beside it, longer than the new");
        ASSERT_TRUE(QFile::link("real.txt", outside.filePath("middle.txt")));
        const QString listing = dir.filePath("Listado.txt");
        if (test.link) {
            const QString to = test.absolute ? QDir::cleanPath(dir.filePath(test.link)) : test.link;
            ASSERT_EQ(::symlink(QFile::encodeName(to).constData(),
                                QFile::encodeName(listing).constData()),
                      0);
        } else {
            putFileBytes(listing, "the old listing, longer than the new");
            ASSERT_EQ(::chmod(QFile::encodeName(listing).constData(), 0640), 0);
        }
        const QStringList outsideBefore = everything(outside), insideBefore = everything(dir);

        {
            ReplacementFile dropped(listing);
            dropped.write("never committed");
        } // dropped: nothing changes, nothing is left behind
        EXPECT_EQ(everything(dir), insideBefore);

        ReplacementFile file(listing);
        file.write("new");
        file.commit();
        struct stat status {};
        ASSERT_EQ(::lstat(QFile::encodeName(listing).constData(), &status), 0);
        EXPECT_TRUE(S_ISREG(status.st_mode));
        EXPECT_EQ(fileBytes(listing), "new");
        // A plain file keeps its permissions; one that was a link gets the usual ones.
        EXPECT_EQ(status.st_mode & 07777, test.link ? 0666u &
                                                          ~[] {
                                                              const mode_t mask = ::umask(0);
                                                              ::umask(mask);
                                                              return unsigned(mask);
                                                          }()
                                                    : 0640u);
        EXPECT_EQ(fileBytes(outside.filePath("real.txt")),
                  "the file elsewhere, longer than the new");
        EXPECT_EQ(fileBytes(dir.filePath("real.txt")), "the file beside it, longer than the new");
        EXPECT_TRUE(QFileInfo(outside.filePath("middle.txt")).isSymLink());
        EXPECT_EQ(everything(outside), outsideBefore);
        EXPECT_EQ(everything(dir), insideBefore);
    }
}

// What a killed run left: only our exact names, older than this process, go; the next
// replacement of the same name removes its own, and the start-up the conversion folders.
TEST(StaleFiles, OnlyOurOwnOldTemporariesAreRemoved) {
    QTemporaryDir root;
    const QDir dir(root.path());
    ASSERT_TRUE(QDir().mkpath(dir.filePath("elsewhere")));
    putFileBytes(dir.filePath("elsewhere/keep.txt"), "outside");
    enum Kind { File, Folder, Link };
    const struct {
        const char *name;
        Kind kind;
        bool old;
        bool removed; // by the replacement of Listado.txt, then by removeStaleImportFolders
    } cases[] = {
        {".Listado.txt.Ab3xZ9", File, true, true},
        {".Listado.txt.Ab3xZ8", File, false, false}, // another program's, still at work
        {".Listado.txt.Ab3xZ", File, true, false},   // five characters
        {".Listado.txt.Ab3xZ90", File, true, false}, // seven
        {".Listado.txt.Ab-xZ9", File, true, false},
        {"Listado.txt.Ab3xZ9", File, true, false},
        {".Listado.txt.Ab3xZ7", Folder, true, false},
        {".Listado.txt.Ab3xZ6", Link, true, false},
        {".Otro.txt.Ab3xZ9", File, true, false},
        {".06_12_2026.mdb.Ab3xZ9", File, true, false},
        {".vadrel-import-q1W2e3", Folder, true, true},
        {".vadrel-import-q1W2e4", Folder, false, false},
        {".vadrel-import-q1W2e", Folder, true, false},
        {".vadrel-import-q1W2e5", File, true, false},
        {".vadrel-import-q1W2e6", Link, true, false},
        {"vadrel-import-q1W2e3", Folder, true, false},
    };
    for (const auto &test : cases) {
        const QString path = dir.filePath(test.name);
        if (test.kind == File) {
            putFileBytes(path, "left behind");
        } else if (test.kind == Folder) {
            ASSERT_TRUE(dir.mkdir(test.name));
            putFileBytes(path + "/db.mdb", "half a catalogue");
            ASSERT_TRUE(dir.mkdir(QString(test.name) + "/sub"));
            ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), path + "/sub/to-elsewhere"));
        } else {
            ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), path));
        }
        if (test.old)
            makeOld(path);
    }

    ReplacementFile file(dir.filePath("Listado.txt"));
    file.write("new");
    file.commit();
    removeStaleImportFolders(QFile::encodeName(root.path()));

    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        struct stat status {};
        EXPECT_EQ(::lstat(QFile::encodeName(dir.filePath(test.name)).constData(), &status) != 0,
                  test.removed);
    }
    EXPECT_EQ(fileBytes(dir.filePath("elsewhere/keep.txt")), "outside");
    EXPECT_EQ(fileBytes(dir.filePath("Listado.txt")), "new");
}

// What a killed vadrel-db init left: making a catalogue removes old builds of db.mdb and their
// journals, writing the help pages old builds of ayuda; a newer one, a link or a near name stays.
TEST(StaleFiles, InitRemovesWhatAKilledInitLeft) {
    enum Kind { File, Folder, Link };
    const struct {
        const char *name;
        Kind kind;
        bool old, removed;
    } cases[] = {
        {".db.mdb.Ab3xZ9", File, true, true},
        {".db.mdb.Ab3xZ8", File, false, false},
        {".db.mdb.Ab3xZ7", Link, true, false},
        {".db.mdb.Ab3xZ", File, true, false},
        {".db.mdb.Ab3xZ9-journal", File, true, true},
        {".db.mdb.Ab3xZ8-journal", File, false, false},
        {".db.mdb.Ab3xZ-journal", File, true, false},
        {".db.mdb.Ab3xZ9-wal", File, true, false},
        {".ayuda.q1W2e3", Folder, true, true},
        {".ayuda.q1W2e4", Folder, false, false},
        {".ayuda.q1W2e5", File, true, false},
        {".ayuda.q1W2e6", Link, true, false},
        {".ayuda.q1W2e30", Folder, true, false},
        {"ayuda.q1W2e3", Folder, true, false},
        {".vadrel-db.q1W2e3", Folder, true, false},
    };
    QTemporaryDir root;
    const QDir dir(root.path());
    for (const auto &test : cases) {
        const QString path = dir.filePath(test.name);
        if (test.kind == File)
            putFileBytes(path, "left behind");
        else if (test.kind == Folder)
            ASSERT_TRUE(dir.mkdir(test.name) && QFile::link(root.path(), path + "/up"));
        else
            ASSERT_TRUE(QFile::link(dir.filePath("db.mdb"), path));
        if (test.old)
            makeOld(path);
    }
    createCatalogue(root.path(), false);
    ASSERT_TRUE(installHelpPages(root.path()));
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(!QFileInfo(dir.filePath(test.name)).exists() &&
                      !QFileInfo(dir.filePath(test.name)).isSymLink(),
                  test.removed);
    }
    EXPECT_TRUE(QFileInfo(dir.filePath("db.mdb")).isFile());
}

namespace {

// Writes what it is given with one byte changed, as a failing disk or cable might.
class SpoilingFileCalls : public FileCalls {
public:
    ssize_t write(int fd, const void *data, size_t size) override {
        QByteArray bytes(static_cast<const char *>(data), qsizetype(size));
        if (size > 200)
            bytes[200] = char(bytes[200] ^ 0x20);
        return FileCalls::write(fd, bytes.constData(), size);
    }
};

qint64 programsIn(const QString &file) {
    sqlite3 *db = nullptr;
    sqlite3_stmt *count = nullptr;
    qint64 rows = -1;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT count(*) FROM Programas", -1, &count, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(count) == SQLITE_ROW)
        rows = sqlite3_column_int64(count, 0);
    sqlite3_finalize(count);
    sqlite3_close(db);
    return rows;
}

} // namespace

// The backup holds the catalogue as its last commit left it, wherever the engine keeps that
// commit (in WAL mode, still beside the file), and a copy that does not read back as written
// replaces nothing.
TEST(CatalogueBackup, TheCopyHoldsTheLastCommitOrReplacesNothing) {
    const struct {
        const char *what;
        bool wal;   // the programs are committed into the -wal file and left there
        bool spoil; // a write of the copy changes a byte
    } cases[] = {
        {"a rollback journal", false, false},
        {"WAL, the commit not yet in the file", true, false},
        {"a byte spoilt on its way to the disk", false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempCatalogue catalogue;
        sqlite3 *writer = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(catalogue.dbPath()).constData(), &writer),
                  SQLITE_OK);
        const QByteArray rows = "INSERT INTO Discos VALUES (1, 'Uno', '2026-12-06', NULL);"
                                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                "WHERE i < 500) INSERT INTO Programas (NroPrograma, NroDisco, "
                                "NombrePrograma) SELECT i, 1, 'Programa ' || i FROM n;";
        ASSERT_EQ(
            sqlite3_exec(
                writer,
                (c.wal ? "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;" + rows : rows)
                    .constData(),
                nullptr, nullptr, nullptr),
            SQLITE_OK);
        if (c.wal) {
            ASSERT_GT(QFileInfo(catalogue.dbPath() + "-wal").size(), 0);
        }
        Connection connection;
        catalogue.point(connection);
        connection.setConnected(true);
        const QString copy = QDir(catalogue.dir()).filePath(QStringLiteral("copia.mdb"));
        putFileBytes(copy, "an earlier backup");

        SpoilingFileCalls spoiling;
        try {
            backupCatalogue(connection, copy, c.spoil ? spoiling : FileCalls::system());
            EXPECT_FALSE(c.spoil);
            EXPECT_EQ(programsIn(copy), 500);
        } catch (const FileError &error) {
            EXPECT_TRUE(c.spoil) << error.detail().toStdString();
            EXPECT_EQ(error.cause(), FileError::Cause::CheckFailed);
            EXPECT_EQ(fileBytes(copy), "an earlier backup");
        }
        EXPECT_EQ(QDir(catalogue.dir()).entryList({QStringLiteral(".copia*")}, QDir::Hidden),
                  QStringList());
        connection.setConnected(false);
        sqlite3_close(writer);
    }
}
