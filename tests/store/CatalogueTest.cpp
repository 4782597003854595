#include "store/catalogue/Catalogue.h"
#include "store/catalogue/HelpPages.h"
#include "store/engine/DatabaseError.h"
#include "support/TempCatalogue.h"

#include "support/QtPrinters.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

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
    // Numbers stay within what the program's whole-number rule can show and take back.
    for (const char *sql : {"INSERT INTO Discos VALUES (2147483648, 'a', NULL, NULL)",
                            "INSERT INTO Programas (NroPrograma, NroDisco, NombrePrograma) VALUES "
                            "(-2147483649, 1, 'p')",
                            "UPDATE Programas SET Anio = 9223372036854775807"})
        EXPECT_THROW(catalogue.exec(QString::fromLatin1(sql)), std::runtime_error) << sql;
    catalogue.exec("INSERT INTO Discos VALUES (2147483647, 'a', NULL, NULL)");
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

// A new catalogue folder gets the help pages, every link between them leads to one of them, and
// a help folder already there is never touched.
TEST(Catalogue, HelpPagesComeWithTheFolderAndAreNeverOverwritten) {
    auto run = [](const QStringList &arguments) {
        QProcess process;
        process.start(QStringLiteral(VADREL_DB), arguments);
        process.waitForFinished();
        return process.exitCode();
    };
    auto entries = [](const QString &dir) {
        return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    TempCatalogue created(false, false);
    ASSERT_EQ(run({"init", created.dir()}), 0);
    EXPECT_EQ(entries(created.dir()), QStringList({"ayuda", "db.mdb"}));
    const QDir help(created.dir() + "/ayuda");
    ASSERT_TRUE(store::helpPageNames().contains("ayuda.htm"));
    EXPECT_EQ(entries(help.path()), store::helpPageNames());
    const QRegularExpression link(R"(href="([^"#:]+)[^"]*")");
    for (const QString &page : help.entryList({"*.htm"})) {
        QFile file(help.filePath(page));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (const auto &match : link.globalMatch(QString::fromUtf8(file.readAll())))
            EXPECT_TRUE(help.exists(match.captured(1)))
                << (page + " -> " + match.captured(1)).toStdString();
    }

    // A folder of the user's stays as it is; a folder without help gets it from install-help.
    TempCatalogue own(false, false);
    ASSERT_TRUE(QDir(own.dir()).mkpath("ayuda/mine"));
    EXPECT_EQ(run({"init", "--sample", own.dir()}), 0);
    EXPECT_EQ(run({"install-help", own.dir()}), 0);
    EXPECT_EQ(entries(own.dir() + "/ayuda"), QStringList({"mine"}));
    TempCatalogue older(false, true);
    EXPECT_EQ(run({"install-help", older.dir()}), 0);
    EXPECT_EQ(entries(older.dir() + "/ayuda"), store::helpPageNames());
    EXPECT_EQ(entries(older.dir()), QStringList({"ayuda", "db.mdb"}));
    EXPECT_THROW(store::installHelpPages(older.dir() + "/no-such-folder"), DatabaseError);
}
