// The program killed at any moment of a save (new CD, new program, renamed program): the next
// opening finds the file whole, every save it had confirmed, and no row half written.
#include "support/TempCatalogue.h"

#include "support/QtPrinters.h"
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <csignal>
#include <cstdio>

#include <gtest/gtest.h>

TEST(Crash, KilledAtRandomMomentsKeepsEveryConfirmedSaveAndNoHalfRow) {
    // A short run by default; VADREL_CRASH_KILLS=1000 for the full one.
    const int kills = qEnvironmentVariableIsSet("VADREL_CRASH_KILLS")
                          ? qEnvironmentVariableIntValue("VADREL_CRASH_KILLS")
                          : 25;
    TempCatalogue catalogue(false);
    QRandomGenerator random(20261208);
    QElapsedTimer clock;
    clock.start();
    qint64 next = 1, confirmedTotal = 0, programsBefore = 0, renamedBefore = 0;
    for (int k = 0; k < kills; ++k) {
        SCOPED_TRACE(k);
        QProcess burst;
        burst.start(QStringLiteral(VADREL_SAVE_BURST), {catalogue.dir(), QString::number(next)});
        ASSERT_TRUE(burst.waitForStarted());
        // Wait for the first save or two, then kill somewhere inside the following ones.
        burst.waitForReadyRead(5000);
        QThread::usleep(random.bounded(0, 30000));
        ::kill(pid_t(burst.processId()), SIGKILL);
        burst.waitForFinished();
        // Confirmations of each kind in this burst.
        qint64 cds = 0, programs = 0, renames = 0;
        for (const QByteArray &line : burst.readAllStandardOutput().split('\n')) {
            cds += line.startsWith("cd ") ? 1 : 0;
            programs += line.startsWith("program ") ? 1 : 0;
            renames += line.startsWith("renamed ") ? 1 : 0;
        }
        confirmedTotal += cds + programs + renames;

        ASSERT_EQ(catalogue.queryText("PRAGMA integrity_check"), "ok");
        // Every confirmed save is there; at most the one being saved went in unconfirmed.
        const qint64 highest = catalogue.queryInt("SELECT ifnull(max(NroDisco), 0) FROM Discos");
        ASSERT_GE(highest, next - 1 + cds);
        ASSERT_LE(highest, next + cds);
        ASSERT_EQ(catalogue.queryInt("SELECT count(*) FROM Discos"), highest);
        const qint64 programsNow = catalogue.queryInt("SELECT count(*) FROM Programas");
        ASSERT_GE(programsNow, programsBefore + programs);
        ASSERT_LE(programsNow, programsBefore + programs + 1);
        const qint64 renamedNow = catalogue.queryInt(
            "SELECT count(*) FROM Programas WHERE NombrePrograma = 'Programa ' || NroPrograma || "
            "' renombrado'");
        ASSERT_GE(renamedNow, renamedBefore + renames);
        ASSERT_LE(renamedNow, renamedBefore + renames + 1);
        // No row is half written: each holds exactly what its save wrote.
        ASSERT_EQ(catalogue.queryInt(
                      "SELECT count(*) FROM Discos WHERE DescripcionDisco = 'CD ' || NroDisco "
                      "AND FechaDisco = '2026-01-02' AND Comentario = 'Comentario del CD ' || "
                      "NroDisco || char(13, 10) || 'con dos líneas'"),
                  highest);
        ASSERT_EQ(
            catalogue.queryInt(
                "SELECT count(*) FROM Programas WHERE NroDisco = NroPrograma AND Version = "
                "'1.' || NroPrograma AND Empresa = 'Empresa' AND Licencia = 'Freeware' AND "
                "Anio = 2000 + NroPrograma % 26 AND Link = 'http://p' || NroPrograma || "
                "'.example/' AND ifnull(Comentario, '') = '' AND NombrePrograma IN ('Programa ' || "
                "NroPrograma, 'Programa ' || NroPrograma || ' renombrado')"),
            programsNow);
        programsBefore = programsNow;
        renamedBefore = renamedNow;
        next = highest + 1;
    }
    std::printf("kills survived: %d, confirmed saves: %lld, in %.1f s\n", kills,
                static_cast<long long>(confirmedTotal), double(clock.elapsed()) / 1000);
}
