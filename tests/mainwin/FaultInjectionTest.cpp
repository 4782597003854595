// Every write path of the program, failed at each point where SQLite writes, syncs or locks in
// turn: each time an error box in Spanish, the file whole, and either nothing of the change or
// all of it.
#include "AppFixture.h"
#include "FaultVfs.h"
#include "Guard.h"
#include "Modulo.h"
#include "QtPrinters.h"

#include <QDate>
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
        data().ADOConnection.finishBackgroundRead();
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
            data().ADOConnection.finishBackgroundRead();
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
