#include "utilities/backup.h"
#include "FileLimit.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

class BackupTest : public AppFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(target.isValid());
        fake.clock.date = QDate(2026, 12, 6);
    }
    // Opens the window from the menu and presses "GENERAR COPIA DE SEGURIDAD".
    void backUp(const std::function<void()> &before = {}) {
        fake.modal.inside = [&](QDialog *) {
            if (before)
                before();
            child<QToolButton>(form9(), "SpeedButton1")->click();
        };
        form1()->findChild<QAction *>("RepararBasededatos1")->trigger();
        fake.modal.inside = nullptr;
    }
    QByteArray bytes(const QString &file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    qint64 rows(const QString &file, const char *table) {
        sqlite3 *db = nullptr;
        qint64 count = -1;
        if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY,
                            nullptr) == SQLITE_OK) {
            sqlite3_stmt *stmt = nullptr;
            sqlite3_prepare_v2(db, QByteArray("SELECT count(*) FROM ") + table, -1, &stmt, nullptr);
            if (stmt && sqlite3_step(stmt) == SQLITE_ROW)
                count = sqlite3_column_int64(stmt, 0);
            sqlite3_finalize(stmt);
        }
        sqlite3_close(db);
        return count;
    }

    QTemporaryDir target;
};

} // namespace

TEST_F(BackupTest, TheNameKeepsOnlyLettersAndDigitsOfTheDate) {
    const struct {
        const char *format, *name;
    } cases[] = {{"dd/MM/yyyy", "06_12_2026"},
                 {"dd.MM.yyyy", "06_12_2026"},
                 {"M/d/yyyy", "12_6_2026"},
                 {"yyyy. MM. dd.", "2026__12__06_"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format);
        fake.clock.format = QString::fromLatin1(c.format);
        fake.dialogs.boxes.clear();
        fake.dialogs.answers = {true}; // replaces the backup of a format that gave the same name
        start();
        backUp([&] { selectBackupFolder(target.path()); });
        const QString file = target.filePath(QString::fromLatin1(c.name) + ".mdb");
        EXPECT_TRUE(QFile::exists(file));
        ASSERT_FALSE(fake.dialogs.boxes.empty());
        EXPECT_EQ(fake.dialogs.boxes.back().text,
                  "La copia de seguridad se llevo a cabo correctamente en: \r\n\r\n" + file);
    }
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"06_12_2026.mdb", "12_6_2026.mdb", "2026__12__06_.mdb"}));
}

TEST_F(BackupTest, ASecondBackupOnOneDayAsksAndACheckedCopyReplacesTheFirst) {
    start();
    const QString file = target.filePath("06_12_2026.mdb");
    backUp([&] { selectBackupFolder(target.path()); });
    EXPECT_EQ(rows(file, "Discos"), 12);
    EXPECT_EQ(rows(file, "Programas"), 84);
    const QByteArray first = bytes(file);

    data().TDiscos.InsertRow({13, "Nuevo", QDate(2026, 12, 6), ""});
    fake.dialogs.boxes.clear();
    fake.dialogs.answers = {false};
    backUp();
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u); // the question, then nothing
    EXPECT_EQ(fake.dialogs.boxes[0].text,
              " El archivo 06_12_2026.mdb ya existe. Desea sobreescribirlo ?");
    EXPECT_TRUE(bytes(file) == first);

    // The disk fills up while the new copy is written: the first backup stays whole.
    fake.dialogs.boxes.clear();
    fake.dialogs.answers = {true};
    {
        FileSizeLimit limit(4096);
        backUp();
    }
    ASSERT_EQ(fake.dialogs.boxes.size(), 2u);
    EXPECT_EQ(fake.dialogs.boxes[1].kind, FakeDialogs::Box::Error);
    EXPECT_TRUE(fake.dialogs.boxes[1].text.startsWith(" No se puede escribir el archivo \"" + file +
                                                      "\": el disco está lleno"))
        << fake.dialogs.boxes[1].text.toStdString();
    EXPECT_TRUE(bytes(file) == first);
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"06_12_2026.mdb"});

    fake.dialogs.answers = {true};
    backUp();
    EXPECT_EQ(rows(file, "Discos"), 13);
    EXPECT_EQ(data().TDiscos.RecordCount(), 13); // the catalogue stays open and in use
}

TEST_F(BackupTest, TheComputerAtTheRootIsNoFolder) {
    start();
    EXPECT_EQ(child<QTreeWidget>(form9(), "TreeView")->currentItem(),
              child<QTreeWidget>(form9(), "TreeView")->topLevelItem(0));
    EXPECT_TRUE(child<QTreeWidget>(form9(), "TreeView")->topLevelItem(0)->isExpanded());
    EXPECT_EQ(child<QTreeWidget>(form9(), "TreeView")->indentation(), 19);
    backUp(); // the root is still selected
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes[0].kind, FakeDialogs::Box::Error);
    EXPECT_EQ(fake.dialogs.boxes[0].text, " No ha seleccionado una carpeta de destino ");
    EXPECT_EQ(QDir::current().entryList(QDir::Files), QStringList{"db.mdb"});
}

// With no catalogue open (a file that is no catalogue, an old Access file left unconverted) the
// file is copied as it is; with none there at all, the box says so and nothing is written.
TEST_F(BackupTest, WithoutAnOpenCatalogueTheFileIsCopiedAsItIs) {
    const struct {
        const char *what;
        QByteArray file; // db.mdb's bytes; empty: no db.mdb
    } cases[] = {
        {"no catalogue", QByteArray("not a catalogue at all\n").repeated(50000)},
        {"an Access file, not converted",
         QByteArray("\0\x01\0\0Standard Jet DB\0\x01", 21) + QByteArray(4096, '\x5a')},
        {"no file", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake.dialogs.answers = {false}; // no conversion of the Access file
        start(false, false, [&](TempCatalogue &catalogue) {
            QFile file(catalogue.dbPath());
            ASSERT_TRUE(c.file.isEmpty() ||
                        (file.open(QIODevice::WriteOnly) && file.write(c.file) == c.file.size()));
        });
        ASSERT_FALSE(data().ADOConnection.Connected());
        fake.dialogs.boxes.clear();
        const QString file = target.filePath("06_12_2026.mdb");
        QFile::remove(file);
        backUp([&] { selectBackupFolder(target.path()); });
        ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
        if (c.file.isEmpty()) {
            EXPECT_EQ(fake.dialogs.boxes[0].kind, FakeDialogs::Box::Error);
            EXPECT_TRUE(fake.dialogs.boxes[0].text.startsWith(
                " No se encuentra la base de datos \"" + catalogue->dbPath() + "\""))
                << fake.dialogs.boxes[0].text.toStdString();
            EXPECT_EQ(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
            continue;
        }
        EXPECT_EQ(fake.dialogs.boxes[0].text,
                  "La copia de seguridad se llevo a cabo correctamente en: \r\n\r\n" + file);
        EXPECT_TRUE(bytes(file) == c.file);
        EXPECT_EQ(QDir(target.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"06_12_2026.mdb"});
    }
}

// A link named as the day's backup, wherever it leads (another file, nowhere, another link), is
// asked about like a file; "Yes" replaces the link itself and leaves what it led to as it was.
TEST_F(BackupTest, ALinkNamedAsTheBackupIsReplacedNotItsTarget) {
    start();
    QTemporaryDir elsewhere;
    const QString precious = QDir(elsewhere.path()).filePath("precious.txt");
    const QString middle = QDir(elsewhere.path()).filePath("middle.mdb");
    {
        QFile file(precious);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("not a catalogue") == 15);
    }
    ASSERT_TRUE(QFile::link(precious, middle));
    const struct {
        const char *what;
        QString to;
    } cases[] = {
        {"a link to a file elsewhere", precious},
        {"a dangling link", QDir(elsewhere.path()).filePath("missing.mdb")},
        {"a chain of two links", middle},
    };
    const QString file = target.filePath("06_12_2026.mdb");
    for (const auto &test : cases) {
        SCOPED_TRACE(test.what);
        QFile::remove(file);
        ASSERT_TRUE(QFile::link(test.to, file));
        for (const bool yes : {false, true}) {
            fake.dialogs.boxes.clear();
            fake.dialogs.answers = {yes};
            backUp([&] { selectBackupFolder(target.path()); });
            ASSERT_GE(fake.dialogs.boxes.size(), 1u);
            EXPECT_EQ(fake.dialogs.boxes[0].text,
                      " El archivo 06_12_2026.mdb ya existe. Desea sobreescribirlo ?");
            EXPECT_EQ(QFileInfo(file).isSymLink(), !yes);
        }
        EXPECT_EQ(rows(file, "Programas"), 84);
        EXPECT_EQ(bytes(precious), "not a catalogue");
        EXPECT_TRUE(QFileInfo(middle).isSymLink());
        EXPECT_FALSE(QFileInfo::exists(QDir(elsewhere.path()).filePath("missing.mdb")));
        EXPECT_EQ(
            QDir(elsewhere.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList({"middle.mdb", "precious.txt"}));
    }
}
