// Two programs on one catalogue: another one writes all the while the program saves.
#include "store/catalogue/Modulo.h"
#include "support/TempCatalogue.h"

#include "support/QtPrinters.h"
#include <atomic>
#include <sqlite3.h>
#include <thread>

#include <gtest/gtest.h>

TEST(SharedFile, SavesOfTwoProgramsAllLandAndTheNextReopeningShowsTheOthers) {
    TempCatalogue catalogue(true);
    ScopedCwd cwd(catalogue.dir());
    TDataModule2 module;
    module.DataModuleCreate();
    const int programsBefore = module.TProgDisc.RecordCount();

    constexpr int kTheirs = 150, kOurCds = 60, kOurPrograms = 40;
    std::atomic<int> confirmed{0};
    std::thread other([&] {
        sqlite3 *db = nullptr;
        sqlite3_open(catalogue.dbPath().toUtf8().constData(), &db);
        sqlite3_busy_timeout(db, 5000);
        for (int i = 0; i < kTheirs; ++i) {
            const QByteArray sql = QStringLiteral("INSERT INTO Programas (NroPrograma, NroDisco, "
                                                  "NombrePrograma) VALUES (%1, 1, 'De otro %1')")
                                       .arg(100000 + i)
                                       .toUtf8();
            if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
                ++confirmed;
        }
        sqlite3_close(db);
    });
    for (int i = 0; i < kOurCds; ++i)
        module.TDiscos.InsertRow({1000 + i, QStringLiteral("Mío %1").arg(i), QString(), QString()});
    for (int i = 0; i < kOurPrograms; ++i)
        module.writingPrograms([&] {
            module.TProgramas.InsertRow({200000 + i, 1000 + i % kOurCds,
                                         QStringLiteral("Mío %1").arg(i), QString(), QString(),
                                         QString(), 2001, QString(), QString()});
        });
    other.join();

    EXPECT_EQ(confirmed.load(), kTheirs);
    EXPECT_EQ(catalogue.queryText("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(catalogue.queryInt("SELECT count(*) FROM Discos WHERE NroDisco >= 1000"), kOurCds);
    EXPECT_EQ(catalogue.queryInt("SELECT count(*) FROM Programas WHERE NroPrograma >= 100000"),
              kTheirs + kOurPrograms);
    // Our own cursors hold what we wrote; the view, reopened, also what the other one did
    // (read in full whenever the other one had written since the last reading).
    EXPECT_EQ(module.TProgramas.RecordCount(), programsBefore + kOurPrograms);
    module.TProgDisc.Close();
    module.TProgDisc.Open();
    EXPECT_EQ(module.TProgDisc.RecordCount(), programsBefore + kOurPrograms + kTheirs);
}
