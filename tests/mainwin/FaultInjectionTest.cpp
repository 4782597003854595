// Every write path of the program, failed at each point where SQLite writes, syncs or locks in
// turn: each time an error box in Spanish, the file whole, and either nothing of the change or
// all of it.
#include "platform/Guard.h"
#include "store/catalogue/Modulo.h"
#include "support/AppFixture.h"
#include "support/FaultVfs.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "utilities/backup.h"
#include "utilities/exportar.h"

#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

namespace {

class FaultInjectionTest : public AppFixture {
protected:
    FaultVfs vfs; // before the program opens anything
    // Both tables as text, row by row.
    QString contents() {
        return catalogue->queryText(
                   "SELECT group_concat(NroDisco || '|' || ifnull(DescripcionDisco, '') || '|' || "
                   "ifnull(FechaDisco, '') || '|' || ifnull(Comentario, ''), ';') FROM Discos") +
               u'#' +
               catalogue->queryText("SELECT group_concat(NroPrograma || '|' || NroDisco || '|' || "
                                    "NombrePrograma || '|' || ifnull(Link, ''), ';') FROM "
                                    "Programas");
    }
};

void editCd(TDataModule2 &m) {
    m.TDiscos.FindRow(QStringLiteral("NroDisco"), 1, false);
    m.TDiscos.EditRow();
    m.TDiscos.FieldByName(QStringLiteral("DescripcionDisco")).setAsString(QStringLiteral("Otro"));
    m.TDiscos.PostRow();
}

} // namespace

TEST_F(FaultInjectionTest, EveryWritePathFailsCleanlyAtEveryPoint) {
    const struct {
        const char *what;
        std::function<void(TDataModule2 &)> act;
    } paths[] = {
        {"New CD",
         [](TDataModule2 &m) {
             m.TDiscos.InsertRow(
                 {50, QStringLiteral("Nuevo"), QDate(2026, 1, 2), QStringLiteral("uno\r\ndos")});
         }},
        {"Modify CD", editCd},
        {"delete CD",
         [](TDataModule2 &m) {
             m.TDiscos.FindRow(QStringLiteral("NroDisco"), 12, false); // the sample's empty CD
             m.TDiscos.DeleteRow();
         }},
        {"New program",
         [](TDataModule2 &m) {
             m.writingPrograms([&] {
                 m.TProgramas.InsertRow({500, 2, QStringLiteral("Nuevo"), QStringLiteral("1"),
                                         QString(), QStringLiteral("Demo"), 2001,
                                         QStringLiteral("http://x.example/"), QString()});
             });
         }},
        {"Modify program",
         [](TDataModule2 &m) {
             m.writingPrograms([&] {
                 m.TProgramas.FindRow(QStringLiteral("NroPrograma"), 3, false);
                 m.TProgramas.EditRow();
                 m.TProgramas.FieldByName(QStringLiteral("NombrePrograma"))
                     .setAsString(QStringLiteral("Cambiado"));
                 m.TProgramas.PostRow();
             });
         }},
        {"delete program",
         [](TDataModule2 &m) {
             m.writingPrograms([&] {
                 m.TProgramas.FindRow(QStringLiteral("NroPrograma"), 3, false);
                 m.TProgramas.DeleteRow();
             });
         }},
    };
    int tried = 0;
    for (const auto &path : paths) {
        SCOPED_TRACE(path.what);
        // Without a fault first: what the file holds before and after, and how many points.
        start(true, true);
        data().Reads.finishBackgroundRead();
        fake.dialogs.boxes.clear();
        const QString before = contents();
        vfs.failAt(1 << 30, FaultVfs::Failure::Io);
        platform::guarded(nullptr, [&] { path.act(data()); });
        const int points = vfs.pointsSeen();
        vfs.failAt(0, FaultVfs::Failure::Io);
        ASSERT_TRUE(fake.dialogs.boxes.empty());
        const QString after = contents();
        ASSERT_NE(after, before);
        ASSERT_GT(points, 0);

        for (int n = 1; n <= points; ++n) {
            SCOPED_TRACE(n);
            start(true, true);
            data().Reads.finishBackgroundRead();
            fake.dialogs.boxes.clear();
            vfs.failAt(n, n % 2 ? FaultVfs::Failure::Io : FaultVfs::Failure::Full);
            platform::guarded(nullptr, [&] { path.act(data()); });
            const bool fired = vfs.fired();
            vfs.failAt(0, FaultVfs::Failure::Io);
            ++tried;
            EXPECT_TRUE(fired);
            ASSERT_FALSE(fake.dialogs.boxes.empty());
            const QString text = fake.dialogs.boxes.front().text;
            // In Spanish, naming the file (the engine's English words come, if at all, after).
            EXPECT_TRUE(
                text.contains(QStringLiteral("la base de datos \"") + catalogue->dbPath() + u'"'))
                << text.toStdString();
            EXPECT_EQ(catalogue->queryText("PRAGMA integrity_check"), "ok");
            const QString now = contents();
            EXPECT_TRUE(now == before || now == after) << now.toStdString();
        }
    }
    std::printf("fault points tried: %d\n", tried);
    EXPECT_GT(tried, 0);
}

// The listing and the backup, failed at each file call of their own and, for the backup, at
// each point where the engine writes the copy: each time an error box in Spanish naming the
// file, the earlier file byte for byte as it was and nothing left beside it.
TEST_F(FaultInjectionTest, TheListingAndTheBackupFailCleanlyAtEveryPoint) {
    start(true, true);
    data().Reads.finishBackgroundRead();
    const QDir folder(catalogue->dir());
    const QString backup = folder.filePath(QStringLiteral("07_12_2026.mdb"));
    selectBackupFolder(catalogue->dir());
    for (int n = 2; n <= 8; ++n)
        form8()->findChild<QCheckBox *>(QStringLiteral("CheckBox%1").arg(n))->setChecked(true);

    const struct {
        const char *what;
        QString file;
        std::function<void()> act;
        bool engine; // the engine writes it too
    } jobs[] = {
        {"listing", folder.filePath(QStringLiteral("Listado.txt")),
         [this] { form8()->SpeedButton1Click(); }, false},
        {"backup", backup, [this] { form9()->SpeedButton1Click(); }, true},
    };
    const QStringList files = folder.entryList(QDir::Files | QDir::Hidden);
    int tried = 0;
    for (const auto &job : jobs) {
        SCOPED_TRACE(job.what);
        // A first run that succeeds leaves the earlier file and counts the points.
        fake.dialogs.answers.assign(64, true); // "overwrite?", "open the listing?"
        platform::guarded(nullptr, job.act);
        ASSERT_TRUE(QFile::exists(job.file));
        fake.files.failAt(1 << 30, EIO);
        vfs.failAt(1 << 30, FaultVfs::Failure::Io);
        fake.dialogs.boxes.clear();
        platform::guarded(nullptr, job.act);
        ASSERT_EQ(fake.dialogs.boxes.size(), 2u); // told and offered to open, or asked and told
        ASSERT_EQ(fake.dialogs.boxes[job.engine ? 1 : 0].kind, FakeDialogs::Box::Information);
        const int calls = fake.files.callsSeen();
        const int points = job.engine ? vfs.pointsSeen() : 0;
        vfs.failAt(0, FaultVfs::Failure::Io);
        ASSERT_GE(calls, 4); // a temporary file, a write, a sync, a rename at least
        const QByteArray earlier = fileBytes(job.file);
        const QStringList expected = folder.entryList(QDir::Files | QDir::Hidden);

        for (int n = 1; n <= calls + points; ++n) {
            SCOPED_TRACE(n);
            fake.dialogs.boxes.clear();
            fake.dialogs.answers.assign(64, true);
            if (n <= calls)
                fake.files.failAt(n, n % 2 ? EIO : ENOSPC);
            else
                vfs.failAt(n - calls, n % 2 ? FaultVfs::Failure::Io : FaultVfs::Failure::Full);
            platform::guarded(nullptr, job.act);
            const bool fired = n <= calls ? fake.files.fired() : vfs.fired();
            fake.files.failAt(0, EIO);
            vfs.failAt(0, FaultVfs::Failure::Io);
            ++tried;
            EXPECT_TRUE(fired);
            const auto error = std::find_if(
                fake.dialogs.boxes.begin(), fake.dialogs.boxes.end(),
                [](const FakeDialogs::Box &box) { return box.kind == FakeDialogs::Box::Error; });
            ASSERT_NE(error, fake.dialogs.boxes.end());
            EXPECT_TRUE(error->text.contains(QStringLiteral("el archivo \"") + job.file + u'"') ||
                        error->text.contains(QStringLiteral("La copia \"") + job.file + u'"'))
                << error->text.toStdString();
            EXPECT_TRUE(fileBytes(job.file) == earlier);
            EXPECT_EQ(folder.entryList(QDir::Files | QDir::Hidden), expected);
        }
    }
    EXPECT_EQ(catalogue->queryText("PRAGMA integrity_check"), "ok");
    std::printf("listing and backup fault points tried: %d\n", tried);
}
