// The scan as the program runs it, in a child process under caps, and the storing of what it
// proposes into a real catalogue.
#include "store/disc/DiscScan.h"
#include "store/catalogue/DiscRecord.h"
#include "store/engine/Connection.h"
#include "store/engine/DatabaseError.h"
#include "support/TempCatalogue.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A stand-in for the reader, at the process seam: a script that fails on one file as a library
// might, and behaves once that file is skipped.
QByteArray script(const QTemporaryDir &folder, const QByteArray &body) {
    const QString path = folder.path() + QStringLiteral("/lector");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(
        "#!/bin/sh\n"
        "cd='{\"cd\":{\"descripcion\":\"D\",\"fecha\":\"2004-03-15\",\"comentario\":\"\"}}'\n"
        "p='{\"programa\":\"P\",\"version\":\"\",\"empresa\":\"\",\"licencia\":\"Demo\","
        "\"anio\":null,\"link\":\"\",\"comentario\":\"\",\"marcado\":true,\"origen\":\"B\"}'\n"
        "skipping() { case \" $* \" in *\" --skip $1 \"*) return 0;; esac; return 1; }\n" +
        body);
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return QFile::encodeName(path);
}

TEST(DiscScan, GoesOnWithoutTheFileAReaderFailedOn) {
    const struct {
        const char *name;
        QByteArray body;
        disc::ScanEnd end;
        QStringList skipped;
    } cases[] = {
        {"crash on a file",
         "echo 'reading MAL%20NOMBRE.EXE' >&2\n"
         "skipping 'MAL NOMBRE.EXE' \"$@\" || kill -SEGV $$\n"
         "echo \"$cd\"; echo \"$p\"\n",
         disc::ScanEnd::Done,
         {QStringLiteral("MAL NOMBRE.EXE")}},
        {"stall on a file",
         "echo 'reading LENTO.EXE' >&2\n"
         "skipping LENTO.EXE \"$@\" || exec sleep 30\n"
         "echo \"$cd\"\n",
         disc::ScanEnd::Done,
         {QStringLiteral("LENTO.EXE")}},
        {"two files, one after the other",
         "echo 'reading A.EXE' >&2\n"
         "skipping A.EXE \"$@\" || kill -SEGV $$\n"
         "echo 'reading B.EXE' >&2\n"
         "skipping B.EXE \"$@\" || kill -SEGV $$\n"
         "echo \"$cd\"\n",
         disc::ScanEnd::Done,
         {QStringLiteral("A.EXE"), QStringLiteral("B.EXE")}},
        {"crash before any file", "kill -SEGV $$\n", disc::ScanEnd::Failed, {}},
        {"the same file again and again",
         "echo 'reading A.EXE' >&2\nkill -SEGV $$\n",
         disc::ScanEnd::Failed,
         {}},
        {"cannot read the source",
         "echo 'vadrel-db: not a disc' >&2\nexit 1\n",
         disc::ScanEnd::Failed,
         {}},
        {"output that is no proposal", "echo '{\"cd\":[]}'\n", disc::ScanEnd::Failed, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        disc::ScanLimits limits;
        limits.quietMs = 500;
        const disc::ScanOutcome outcome =
            disc::scanDisc(script(folder, c.body), "/nada", limits, {});
        EXPECT_EQ(outcome.end, c.end);
        EXPECT_EQ(outcome.proposal.skipped, c.skipped);
        EXPECT_EQ(outcome.end == disc::ScanEnd::Failed, !outcome.error.isEmpty());
    }
}

TEST(DiscScan, CancelStopsTheChild) {
    QTemporaryDir folder;
    int asked = 0;
    const disc::ScanOutcome outcome =
        disc::scanDisc(script(folder, "echo 'reading A.EXE' >&2\nexec sleep 30\n"), "/nada", {},
                       [&](const QString &reading) { return reading.isEmpty() || ++asked < 3; });
    EXPECT_EQ(outcome.end, disc::ScanEnd::Cancelled);
    EXPECT_EQ(asked, 3);
}

TEST(DiscScan, MemoryCapEndsAGreedyReader) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the cap is not set under the address sanitizer";
#endif
    QTemporaryDir folder;
    disc::ScanLimits limits;
    limits.memoryBytes = 64 << 20;
    // The shell's own allocation of a string larger than the cap fails.
    const disc::ScanOutcome outcome = disc::scanDisc(
        script(folder,
               "echo 'reading GRANDE.EXE' >&2\n"
               "skipping GRANDE.EXE \"$@\" || x=$(head -c 200000000 /dev/zero | tr '\\0' a)\n"
               "echo \"$cd\"\n"),
        "/nada", limits, {});
    EXPECT_EQ(outcome.end, disc::ScanEnd::Done);
    EXPECT_EQ(outcome.proposal.skipped, QStringList{QStringLiteral("GRANDE.EXE")});
}

class StoreDisc : public ::testing::Test {
protected:
    void SetUp() override {
        catalogue = std::make_unique<TempCatalogue>(false);
        connection.setFile(catalogue->dbPath());
        connection.setConnected(true);
    }
    qint64 count(const char *sql) { return catalogue->queryInt(QString::fromUtf8(sql)); }
    std::unique_ptr<TempCatalogue> catalogue;
    store::Connection connection;
};

TEST_F(StoreDisc, WritesTheCdAndItsProgramsOrNothing) {
    disc::ProposedProgram first;
    first.name = QStringLiteral("Uno");
    first.licence = QStringLiteral("Trial");
    first.year = 2003;
    first.comment = QStringLiteral("línea 1\nlínea 2");
    disc::ProposedProgram second = first;
    second.name = QStringLiteral("Dos");
    second.year.reset();
    const disc::ProposedCd cd{QStringLiteral("Revista"), QDate(2004, 3, 15), QStringLiteral("c")};

    const store::StoredDisc stored = store::storeDisc(connection, {}, cd, {first, second});
    EXPECT_EQ(stored.programs.size(), 2u);
    EXPECT_EQ(store::catalogedDisc(connection, cd), stored.cd);
    disc::ProposedCd nextDay = cd;
    nextDay.date = QDate(2004, 3, 16);
    EXPECT_EQ(store::catalogedDisc(connection, nextDay), std::nullopt);
    EXPECT_EQ(count("SELECT count(*) FROM Programas WHERE NroDisco = (SELECT max(NroDisco) FROM "
                    "Discos) AND ((Anio = 2003 AND Comentario = 'línea 1\r\nlínea 2') OR "
                    "(NombrePrograma = 'Dos' AND Anio = 0))"),
              2);

    // A taken number and a program number past the range both leave the catalogue as it was.
    const qint64 cds = count("SELECT count(*) FROM Discos");
    const qint64 programs = count("SELECT count(*) FROM Programas");
    EXPECT_THROW(store::storeDisc(connection, stored.cd, cd, {first}), store::DatabaseError);
    catalogue->exec(QStringLiteral("INSERT INTO Programas (NroPrograma, NroDisco, "
                                   "NombrePrograma) VALUES (2147483647, %1, 'x')")
                        .arg(stored.cd));
    EXPECT_THROW(store::storeDisc(connection, {}, cd, {first}), store::DatabaseError);
    EXPECT_EQ(count("SELECT count(*) FROM Discos"), cds);
    EXPECT_EQ(count("SELECT count(*) FROM Programas"), programs + 1);
}

} // namespace
