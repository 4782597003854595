// A catalogue shared on a server, as only a server has it: several programs at once, others'
// changes appearing by themselves, the server dying under saves, copies both ways, roles and
// passwords. Every case runs against the throwaway cluster of tests/server/with-server.
#include "mainwin/ErrorMessages.h"
#include "mainwin/cds_.h"
#include "reports/CatalogueSearch.h"
#include "store/catalogue/Catalogue.h"
#include "store/catalogue/Modulo.h"
#include "store/engine/CatalogueCopy.h"
#include "store/server/ServerEngine.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "utilities/backup.h"
#include "widgets/DBGrid.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QToolButton>
#include <csignal>
#include <gtest/gtest.h>
#include <numeric>

namespace {

using store::DatabaseError;

// The confirmations of each kind a save burst printed.
struct Confirmed {
    std::vector<qint64> cds, programs, renamed;
};
Confirmed confirmations(const QByteArray &output) {
    Confirmed confirmed;
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() != 2)
            continue;
        (parts[0] == "cd"        ? confirmed.cds
         : parts[0] == "program" ? confirmed.programs
                                 : confirmed.renamed)
            .push_back(parts[1].toLongLong());
    }
    return confirmed;
}

class ServerTest : public AppFixture {
protected:
    void SetUp() override {
        engine = TestEngine::Server;
        SKIP_WITHOUT_SERVER(engine);
    }
    QProcess *burst(const QStringList &arguments) {
        auto *process = new QProcess;
        process->start(QStringLiteral(VADREL_SAVE_BURST),
                       QStringList{QString::fromUtf8(catalogue->address())} + arguments);
        EXPECT_TRUE(process->waitForStarted());
        return process;
    }
    qint64 count(const char *sql) { return catalogue->queryInt(QString::fromUtf8(sql)); }
    // The rows a save burst wrote are whole: each holds exactly what its save wrote.
    void expectWhole(qint64 cds, qint64 programs) {
        EXPECT_EQ(count("SELECT count(*) FROM Discos WHERE NroDisco >= 100 AND DescripcionDisco = "
                        "'CD ' || NroDisco AND FechaDisco = '2026-01-02' AND Comentario = "
                        "'Comentario del CD ' || NroDisco || chr(13) || chr(10) || "
                        "'con dos líneas'"),
                  cds);
        EXPECT_EQ(count("SELECT count(*) FROM Programas WHERE NroPrograma >= 100 AND NroDisco = "
                        "NroPrograma AND Version = '1.' || NroPrograma AND NombrePrograma IN "
                        "('Programa ' || NroPrograma, 'Programa ' || NroPrograma || "
                        "' renombrado')"),
                  programs);
    }
};

} // namespace

TEST_F(ServerTest, AnotherProgramsSavesShowWithinASecondAndLeaveTheCurrentRowAndAnEdit) {
    start();
    store::TableCursor &cds = data().TDiscos;
    store::TableCursor &programs = data().TProgramas;
    store::TableCursor &view = data().TProgDisc;
    ASSERT_TRUE(cds.FindRow("NroDisco", 3, false));
    view.setIndexFieldNames("NombrePrograma");
    ASSERT_TRUE(view.FindRow("NombrePrograma", "Nero", true));
    const QString viewRow = view.Fields(2).AsString();
    programs.GoFirst();
    programs.EditRow();
    programs.FieldByName("Version").setAsString("tecleada");

    std::unique_ptr<QProcess> other(burst({"100", "2"}));
    ASSERT_TRUE(other->waitForFinished(10000));
    ASSERT_EQ(confirmations(other->readAllStandardOutput()).renamed, std::vector<qint64>{100});
    QElapsedTimer clock;
    clock.start();
    // Nothing touched here: the lists follow by themselves.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return cds.RecordCount() == 14 && view.RecordCount() == 86; }, 1000));
    EXPECT_LE(clock.elapsed(), 1000);
    EXPECT_EQ(cds.Fields(0).AsInteger(), 3);
    EXPECT_EQ(view.Fields(2).AsString(), viewRow);
    EXPECT_TRUE(view.FindRow("NombrePrograma", "Programa 100 renombrado", false));
    EXPECT_EQ(form1()->findChild<DBGrid *>("DBGrid2")->model()->rowCount(), 14);
    // The open edit is left alone, and the rows come once it ends.
    EXPECT_EQ(programs.state(), store::TableCursor::State::Edit);
    EXPECT_EQ(programs.FieldByName("Version").AsString(), "tecleada");
    EXPECT_EQ(programs.RecordCount(), 84);
    programs.CancelRow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return programs.RecordCount() == 86; }, 1000));

    // A change and a deletion arrive the same way.
    catalogue->exec("UPDATE Discos SET DescripcionDisco = 'Cambiado' WHERE NroDisco = 3; "
                    "DELETE FROM Programas WHERE NroPrograma = 101");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return cds.Fields(1).AsString() == "Cambiado" && view.RecordCount() == 85; }, 1000));
}

// The catalogue search follows others' saves by itself too: a renamed program and a CD's new
// description are found without opening the window again.
TEST_F(ServerTest, TheCatalogueSearchFindsOthersSavesByItself) {
    start();
    CatalogueSearch search(fake.services(), data(), nullptr);
    search.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return search.ready(); }, 10000));
    search.Palabras->setText(QStringLiteral("compartido"));
    QAbstractItemModel *rows = search.Resultados->model();
    ASSERT_EQ(rows->rowCount(), 0);
    catalogue->exec(
        "UPDATE Programas SET NombrePrograma = 'Visor compartido' WHERE NroPrograma = "
        "1; UPDATE Discos SET DescripcionDisco = 'Disco compartido' WHERE NroDisco = 5");
    const qint64 expected =
        count("SELECT count(*) FROM Programas WHERE NroDisco = 5 OR NroPrograma = 1");
    ASSERT_GT(expected, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows->rowCount() == expected; }, 5000));
    EXPECT_EQ(
        rows->match(rows->index(0, 0), Qt::DisplayRole, QStringLiteral("Visor compartido")).size(),
        1);
}

TEST_F(ServerTest, ProgramsSavingAtOnceGetNumbersOfTheirOwnAndEverySaveLands) {
    start(true, false);
    std::vector<std::unique_ptr<QProcess>> others;
    for (int i = 0; i < 4; ++i)
        others.emplace_back(burst({"next", "20"}));
    std::vector<qint64> cds, programs;
    for (auto &other : others) {
        ASSERT_TRUE(other->waitForFinished(60000));
        EXPECT_EQ(other->exitCode(), 0) << other->readAllStandardError().toStdString();
        const Confirmed confirmed = confirmations(other->readAllStandardOutput());
        cds.insert(cds.end(), confirmed.cds.begin(), confirmed.cds.end());
        programs.insert(programs.end(), confirmed.programs.begin(), confirmed.programs.end());
    }
    std::sort(cds.begin(), cds.end());
    std::sort(programs.begin(), programs.end());
    std::vector<qint64> expected(80);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(cds, expected);
    EXPECT_EQ(programs, expected);
    EXPECT_EQ(count("SELECT count(*) FROM Discos"), 80);
    EXPECT_EQ(count("SELECT count(*) FROM Programas"), 80);
}

TEST_F(ServerTest, EveryConfirmedSaveSurvivesItsConnectionOrTheServerBeingKilled) {
    const QByteArray pgctl = qgetenv("VADREL_TEST_PGCTL");
    if (pgctl.isEmpty())
        GTEST_SKIP() << "the test server cannot be stopped (VADREL_TEST_PGCTL)";
    start(true, false);
    app.reset(); // the burst is the only client
    qint64 next = 100;
    for (const bool wholeServer : {false, true}) {
        SCOPED_TRACE(wholeServer ? "server killed" : "connection killed");
        const char *const countCds = "SELECT count(*) FROM Discos WHERE NroDisco >= 100";
        const char *const countPrograms = "SELECT count(*) FROM Programas WHERE NroPrograma >= 100";
        const qint64 cdsBefore = count(countCds), programsBefore = count(countPrograms);
        std::unique_ptr<QProcess> other(burst({QString::number(next)}));
        ASSERT_TRUE(other->waitForReadyRead(10000));
        QTest::qWait(40);
        if (wholeServer) {
            ASSERT_EQ(QProcess::execute(QString::fromUtf8(pgctl), {"stop"}), 0);
        } else {
            const qint64 backend = count(
                "SELECT pid FROM pg_stat_activity WHERE application_name = 'vadrel' AND "
                "datname = current_database() AND pid <> pg_backend_pid() ORDER BY pid LIMIT 1");
            ASSERT_GT(backend, 0);
            ::kill(pid_t(backend), SIGKILL);
        }
        ASSERT_TRUE(other->waitForFinished(30000));
        EXPECT_NE(other->exitCode(), 0); // its save failed, it said none was made
        if (wholeServer) {
            ASSERT_EQ(QProcess::execute(QString::fromUtf8(pgctl), {"start"}), 0);
        }
        // A killed backend restarts the others; the server answers again shortly.
        ASSERT_TRUE(QTest::qWaitFor([&] { return count("SELECT 1") == 1; }, 15000));
        const Confirmed confirmed = confirmations(other->readAllStandardOutput());
        ASSERT_FALSE(confirmed.cds.empty());
        // Every save this burst confirmed is there; at most the one in flight went in
        // unconfirmed.
        const qint64 cds = count(countCds), programs = count(countPrograms);
        EXPECT_GE(cds - cdsBefore, qint64(confirmed.cds.size()));
        EXPECT_LE(cds - cdsBefore, qint64(confirmed.cds.size()) + 1);
        EXPECT_GE(programs - programsBefore, qint64(confirmed.programs.size()));
        EXPECT_LE(programs - programsBefore, qint64(confirmed.programs.size()) + 1);
        for (const qint64 cd : confirmed.cds)
            EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM Discos WHERE NroDisco = %1")
                                .arg(cd)
                                .toLatin1()),
                      1);
        expectWhole(cds, programs);
        next = count("SELECT max(NroDisco) FROM Discos") + 1;
        // The program on the last CD may have been lost with the server: the next burst starts
        // past it.
        next = std::max(next, count("SELECT coalesce(max(NroPrograma), 0) FROM Programas") + 1);
    }
}

TEST_F(ServerTest, CopiesGoToTheServerAndBackByteForByte) {
    const QString tool = QStringLiteral(VADREL_DB);
    for (const int extra : {0, 100000}) {
        SCOPED_TRACE(extra);
        // The sample catalogue, or one of 100 000 programs besides.
        TempCatalogue file(true);
        if (extra)
            file.exec(
                QStringLiteral(
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                    "%1) INSERT INTO Programas SELECT 1000 + i, 1 + i % 12, 'Programa ' || i, "
                    "i % 7 || '.0', 'Empresa ' || i % 97, 'Freeware', 1990 + i % 30, NULL, "
                    "CASE WHEN i % 5 = 0 THEN 'nota' || char(13, 10) || i END FROM n")
                    .arg(extra));
        TempCatalogue server(false, false, TestEngine::Server);
        TempCatalogue home(false, false);
        for (const auto &[from, to] : {std::pair{file.dir().toUtf8(), server.address()},
                                       std::pair{server.address(), home.dir().toUtf8()}}) {
            QProcess copy;
            copy.start(tool, {"copy", QString::fromUtf8(from), QString::fromUtf8(to)});
            ASSERT_TRUE(copy.waitForFinished(120000));
            EXPECT_EQ(copy.exitCode(), 0) << copy.readAllStandardError().toStdString();
        }
        // Every field with its type, as the file keeps it.
        const QString everyField =
            "SELECT group_concat(typeof(%2) || ':' || quote(%2), '|') FROM (SELECT * FROM %1 "
            "ORDER BY 1)";
        for (const auto &[table, fields] :
             {std::pair{"Discos", "NroDisco || DescripcionDisco || FechaDisco || Comentario"},
              std::pair{"Programas", "NroPrograma || NroDisco || NombrePrograma || Version || "
                                     "Empresa || Licencia || Anio || Link || Comentario"}}) {
            for (const QString &field : QString::fromLatin1(fields).split(" || ")) {
                const QString sql = everyField.arg(QLatin1String(table), field);
                EXPECT_EQ(home.queryText(sql), file.queryText(sql)) << field.toStdString();
            }
        }
        EXPECT_EQ(home.queryInt("SELECT count(*) FROM Programas"), 84 + extra);
        // A server that already holds a catalogue is refused, untouched.
        QProcess again;
        again.start(tool, {"copy", file.dir(), QString::fromUtf8(server.address())});
        ASSERT_TRUE(again.waitForFinished(120000));
        EXPECT_EQ(again.exitCode(), 1);
        EXPECT_EQ(server.queryInt("SELECT count(*) FROM Programas"), 84 + extra);
    }
}

TEST_F(ServerTest, AReadOnlyRoleBrowsesAndIsToldItsSavesAreRefused) {
    start();
    app.reset();
    catalogue->exec("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'lector') "
                    "THEN CREATE ROLE lector LOGIN; END IF; END $$; "
                    "GRANT SELECT ON ALL TABLES IN SCHEMA public TO lector");
    app = std::make_unique<Startup>(fake.services(), importer, true,
                                    catalogue->address() + " user=lector");
    EXPECT_EQ(data().TDiscos.RecordCount(), 12);
    EXPECT_EQ(data().TProgDisc.RecordCount(), 84);
    try {
        data().TDiscos.InsertRow({13, "Nuevo", QDate(2026, 12, 9), ""});
        FAIL() << "a role that only reads saved";
    } catch (const DatabaseError &error) {
        EXPECT_EQ(error.cause(), DatabaseError::Cause::NotAllowed);
        EXPECT_TRUE(errorMessage(std::current_exception())
                        .startsWith(" El servidor del catálogo \"" + catalogue->dbPath() +
                                    " user=lector\" no le permite modificarlo"));
    }
    EXPECT_EQ(data().TDiscos.RecordCount(), 12);
}

TEST_F(ServerTest, AServerThatDoesNotAnswerIsNamedAndNothingOpens) {
    const QByteArray nowhere = "postgresql://vadrel:secreta@/catalogo?host=/nonexistent";
    app = std::make_unique<Startup>(fake.services(), importer, true, nowhere);
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_TRUE(fake.dialogs.boxes[0].text.startsWith(
        " No se pudo conectar con el servidor del catálogo \"postgresql://vadrel@/"
        "catalogo?host=/nonexistent\""))
        << fake.dialogs.boxes[0].text.toStdString();
    EXPECT_FALSE(data().TDiscos.Active());
    EXPECT_FALSE(fake.dialogs.boxes[0].text.contains("secreta"));
}

TEST_F(ServerTest, APasswordIsAskedUntilTheServerTakesItAndNeverShown) {
    start();
    app.reset();
    catalogue->exec("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = "
                    "'vadrel_clave') THEN CREATE ROLE vadrel_clave LOGIN PASSWORD 'secreta'; END "
                    "IF; END $$; GRANT ALL ON ALL TABLES IN SCHEMA public TO vadrel_clave");
    fake.dialogs.passwords = {"mala", "secreta"};
    app = std::make_unique<Startup>(fake.services(), importer, true,
                                    catalogue->address() + " user=vadrel_clave");
    EXPECT_EQ(fake.dialogs.passwordServers.size(), 2u);
    EXPECT_TRUE(fake.dialogs.boxes.empty());
    EXPECT_EQ(data().TProgDisc.RecordCount(), 84); // the background read got in too
    // The status bar names the server as it was given; the password typed is nowhere.
    EXPECT_EQ(form1()->findChild<QLabel *>("StatusBar1Panel1")->text(),
              " Origen de datos :  \" " + catalogue->dbPath() + " user=vadrel_clave \"");
}

TEST_F(ServerTest, ABackupIsACatalogueFileOfOneMoment) {
    QTemporaryDir target;
    fake.clock.date = QDate(2026, 12, 9);
    start();
    catalogue->exec("UPDATE Discos SET FechaDisco = '2005-07-08 21:45:00' WHERE NroDisco = 2");
    fake.modal.inside = [&](QDialog *) {
        selectBackupFolder(target.path());
        child<QToolButton>(form9(), "SpeedButton1")->click();
    };
    form1()->findChild<QAction *>("RepararBasededatos1")->trigger();
    fake.modal.inside = nullptr;
    const QString file = target.filePath("09_12_2026.mdb");
    ASSERT_FALSE(fake.dialogs.boxes.empty());
    EXPECT_EQ(fake.dialogs.boxes.back().text,
              "La copia de seguridad se llevo a cabo correctamente en: \r\n\r\n" + file);
    // It opens as any catalogue file and holds what the server holds.
    const store::engine::DbHandle copy = store::engine::open(file, false);
    const store::engine::DbHandle server = store::server::open(catalogue->address());
    EXPECT_EQ(store::engine::compareRows(copy.get(), server.get()), QString());
    EXPECT_EQ(store::engine::queryNumber(copy.get(), "SELECT count(*) FROM Programas"), 84);
}

TEST_F(ServerTest, ALostConnectionIsToldAtTheNextActionWhichConnectsAgain) {
    start();
    data().Reads.finishBackgroundRead();
    catalogue->exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                    "application_name = 'vadrel' AND datname = current_database() AND pid <> "
                    "pg_backend_pid()");
    try {
        data().TDiscos.InsertRow({13, "Nuevo", QDate(2026, 12, 9), ""});
        FAIL() << "a save on a lost connection was confirmed";
    } catch (const DatabaseError &error) {
        EXPECT_EQ(error.cause(), DatabaseError::Cause::ConnectionLost);
        EXPECT_TRUE(errorMessage(std::current_exception())
                        .startsWith(" Se perdió la conexión con el servidor del catálogo \"" +
                                    catalogue->dbPath() + "\"; la operación no se realizó"));
    }
    EXPECT_EQ(count("SELECT count(*) FROM Discos"), 12);
    // The server is there: the same save goes through on a new connection.
    data().TDiscos.InsertRow({13, "Nuevo", QDate(2026, 12, 9), ""});
    EXPECT_EQ(count("SELECT count(*) FROM Discos WHERE NroDisco = 13"), 1);
    EXPECT_EQ(data().TDiscos.RecordCount(), 13);
}
