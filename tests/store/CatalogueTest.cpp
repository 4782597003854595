#include "Catalogue.h"
#include "DatabaseError.h"
#include "TempCatalogue.h"

#include "QtPrinters.h"
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>
#include <sys/stat.h>

using store::DatabaseError;

TEST(Catalogue, HasTheTablesTheRelationAndTheView) {
    TempCatalogue catalogue;
    EXPECT_EQ(catalogue.queryInt("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                 "name IN ('Discos', 'Programas')"),
              2);
    EXPECT_EQ(
        catalogue.queryText("SELECT group_concat(name, ',') FROM pragma_table_info('ProgDisc')"),
        "NroDisco,DescripcionDisco,NombrePrograma,Version,Empresa,Licencia,Anio,Link,"
        "Comentario");
    EXPECT_EQ(
        catalogue.queryText("SELECT group_concat(name, ',') FROM pragma_table_info('Discos')"),
        "NroDisco,DescripcionDisco,FechaDisco,Comentario");
    catalogue.exec("INSERT INTO Discos VALUES (1, 'a', '2026-12-06', NULL)");
    catalogue.exec(
        "INSERT INTO Programas (NroPrograma, NroDisco, NombrePrograma) VALUES (1, 1, 'p')");
    EXPECT_THROW(catalogue.exec("DELETE FROM Discos WHERE NroDisco = 1"), std::runtime_error);
    EXPECT_THROW(catalogue.exec("INSERT INTO Programas (NroPrograma, NroDisco, NombrePrograma) "
                                "VALUES (2, 5, 'p')"),
                 std::runtime_error);
    // One row per program, also for a program whose CD row is gone.
    catalogue.exec("PRAGMA foreign_keys=OFF; DELETE FROM Discos;");
    EXPECT_EQ(catalogue.queryInt("SELECT count(*) FROM ProgDisc"), 1);
}

TEST(Catalogue, SampleCoversWhatTheWindowsShow) {
    TempCatalogue catalogue(true);
    EXPECT_EQ(catalogue.queryInt("SELECT count(*) FROM Discos"), 12);
    EXPECT_GE(catalogue.queryInt("SELECT count(*) FROM Programas"), 80);
    EXPECT_EQ(catalogue.queryInt("SELECT count(DISTINCT Licencia) FROM Programas WHERE Licencia "
                                 "IN ('Freeware','Comercial','Demo','Trial','Shareware','Warez')"),
              6);
    EXPECT_EQ(catalogue.queryInt("SELECT count(*) FROM Discos d WHERE NOT EXISTS "
                                 "(SELECT 1 FROM Programas p WHERE p.NroDisco = d.NroDisco)"),
              1);
    EXPECT_GT(catalogue.queryInt("SELECT count(*) FROM Programas WHERE Link LIKE 'http%'"), 0);
    EXPECT_GT(catalogue.queryInt("SELECT count(*) FROM Programas WHERE Link LIKE '/%' OR Link "
                                 "LIKE '_:\\%'"),
              0);
    EXPECT_GT(catalogue.queryInt("SELECT count(*) FROM Programas WHERE instr(Comentario, "
                                 "char(13, 10)) > 0 AND substr(Comentario, -2) <> char(13, 10)"),
              0);
    EXPECT_GT(catalogue.queryInt("SELECT count(*) FROM Discos WHERE DescripcionDisco LIKE '%á%'"),
              0);
    EXPECT_EQ(catalogue.queryInt("SELECT count(*) FROM Programas WHERE NombrePrograma = ''"), 0);
}

TEST(Catalogue, NeverOverwritesAndReportsBadFolders) {
    TempCatalogue folder(false, false);
    QFile existing(folder.dbPath());
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("mine");
    existing.close();
    EXPECT_THROW(store::createCatalogue(folder.dir(), true), DatabaseError);
    EXPECT_EQ(folder.fileBytes(), QByteArray("mine"));
    EXPECT_EQ(QDir(folder.dir()).entryList(QDir::Files | QDir::Hidden), QStringList({"db.mdb"}));

    try {
        store::createCatalogue(folder.dir() + "/no-such-folder", false);
        ADD_FAILURE() << "a missing folder must fail";
    } catch (const DatabaseError &error) {
        EXPECT_TRUE(error.engineMessage().contains("no-such-folder"));
    }

    TempCatalogue locked(false, false);
    ASSERT_EQ(::chmod(locked.dir().toLocal8Bit().constData(), 0555), 0);
    const int result = runUnprivileged([&] {
        try {
            store::createCatalogue(locked.dir(), false);
            return 1;
        } catch (const DatabaseError &error) {
            return error.engineMessage().contains("cannot write") ? 0 : 2;
        }
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(QDir(locked.dir()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST(Catalogue, CommandLineTool) {
    TempCatalogue folder(false, false);
    auto run = [](const QStringList &arguments, QString *output = nullptr) {
        QProcess process;
        process.start(QStringLiteral(VADREL_DB), arguments);
        process.waitForFinished();
        if (output)
            *output = QString::fromLocal8Bit(process.readAllStandardOutput() +
                                             process.readAllStandardError());
        return process.exitCode();
    };
    QString text;
    EXPECT_EQ(run({"--help"}, &text), 0);
    EXPECT_TRUE(text.contains("init [--sample] DIR"));
    EXPECT_EQ(run({"init", "--sample", folder.dir()}), 0);
    EXPECT_EQ(folder.queryInt("SELECT count(*) FROM Discos"), 12);
    const QByteArray before = folder.fileBytes();
    EXPECT_EQ(run({"init", folder.dir()}, &text), 1);
    EXPECT_TRUE(text.contains("already exists"));
    EXPECT_EQ(folder.fileBytes(), before);
    EXPECT_NE(run({"init"}), 0);
    EXPECT_NE(run({"create", folder.dir()}), 0);
}
