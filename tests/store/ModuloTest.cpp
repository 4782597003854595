#include "store/catalogue/Modulo.h"
#include "store/catalogue/Catalogue.h"
#include "store/engine/DatabaseError.h"
#include "support/TempCatalogue.h"

#include "support/QtPrinters.h"
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using store::DatabaseError;
using Kind = store::DatabaseError::Kind;

namespace {

using Cause = store::DatabaseError::Cause;

std::pair<Kind, Cause> failureKind(TDataModule2 &module) {
    try {
        module.DataModuleCreate();
    } catch (const DatabaseError &error) {
        return {error.kind(), error.cause()};
    }
    ADD_FAILURE() << "start-up did not fail";
    return {Kind::Other, Cause::Unknown};
}

} // namespace

// Whatever the folder is called, ';' and '=' included, the catalogue opened is the db.mdb of the
// working directory.
TEST(DataModule, OpensTheCatalogueOfTheWorkingDirectory) {
    TempCatalogue parent(false, false);
    const QString folder = parent.dir() + QStringLiteral("/Catálogo;viejo=1");
    ASSERT_TRUE(QDir().mkpath(folder));
    store::createCatalogue(folder, true);
    ScopedCwd cwd(folder);
    EXPECT_EQ(TDataModule2::Ruta(), folder);
    TDataModule2 module;
    module.DataModuleCreate();
    EXPECT_EQ(module.ADOConnection.dataSource(), folder + QStringLiteral("/db.mdb"));
    EXPECT_TRUE(module.ADOConnection.Connected());
    EXPECT_EQ(module.TDiscos.RecordCount(), 12);
    EXPECT_EQ(module.TProgramas.RecordCount(), 84);
    EXPECT_EQ(module.TProgDisc.RecordCount(), 84);
    EXPECT_EQ(module.DataDiscos.DataSet(), &module.TDiscos);
    EXPECT_EQ(module.DataProg.DataSet(), &module.TProgramas);
    EXPECT_EQ(module.DataProgDisc.DataSet(), &module.TProgDisc);
    module.ADOConnection.setConnected(false);
    EXPECT_FALSE(module.TDiscos.Active());
    EXPECT_FALSE(module.TProgDisc.Active());
}

TEST(DataModule, WithoutDbMdbNothingOpensAndNothingIsCreated) {
    TempCatalogue folder(false, false);
    ScopedCwd cwd(folder.dir());
    TDataModule2 module;
    EXPECT_EQ(failureKind(module), std::make_pair(Kind::Io, Cause::FileMissing));
    EXPECT_FALSE(module.ADOConnection.Connected());
    EXPECT_FALSE(module.TDiscos.Active());
    EXPECT_FALSE(QFile::exists(folder.dbPath()));
}

TEST(DataModule, AFileThatIsNotADatabaseFailsAtStartUp) {
    TempCatalogue folder(false, false);
    QFile file(folder.dbPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("Standard Jet DB").repeated(400));
    file.close();
    ScopedCwd cwd(folder.dir());
    TDataModule2 module;
    EXPECT_EQ(failureKind(module), std::make_pair(Kind::Corrupt, Cause::NotDatabase));
    EXPECT_FALSE(module.TDiscos.Active());
}

TEST(DataModule, WithoutTheViewTheTablesStillOpen) {
    TempCatalogue catalogue(true);
    catalogue.exec("DROP VIEW ProgDisc");
    ScopedCwd cwd(catalogue.dir());
    TDataModule2 module;
    EXPECT_EQ(failureKind(module), std::make_pair(Kind::Other, Cause::MissingTable));
    EXPECT_TRUE(module.TDiscos.Active());
    EXPECT_TRUE(module.TProgramas.Active());
    EXPECT_FALSE(module.TProgDisc.Active());
}

TEST(DataModule, ReadOnlyCatalogueReadsButRefusesWrites) {
    TempCatalogue catalogue(true);
    ASSERT_EQ(::chmod(catalogue.dbPath().toLocal8Bit().constData(), 0444), 0);
    ASSERT_EQ(::chmod(catalogue.dir().toLocal8Bit().constData(), 0755), 0);
    const QByteArray before = catalogue.fileBytes();
    // Root may write anything, so the checks run without its rights.
    const int result = runUnprivileged([&] {
        ScopedCwd cwd(catalogue.dir());
        TDataModule2 module;
        module.DataModuleCreate();
        if (module.TDiscos.RecordCount() != 12 || module.TProgDisc.RecordCount() != 84)
            return 1;
        module.TDiscos.GoLast();
        const int count = module.TDiscos.RecordCount();
        try {
            module.TDiscos.InsertRow({13, "Nuevo", QDate(2026, 12, 7), ""});
            return 2;
        } catch (const DatabaseError &error) {
            if (error.kind() != Kind::Io || error.cause() != Cause::ReadOnly)
                return 3;
        }
        if (module.TDiscos.RecordCount() != count)
            return 4;
        try {
            module.TDiscos.DeleteRow();
            return 5;
        } catch (const DatabaseError &error) {
            if (error.kind() != Kind::Io)
                return 6;
        }
        return module.TDiscos.RecordCount() == count ? 0 : 7;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(catalogue.fileBytes(), before);
}

// A table or view without a field the program reads by its place is refused at start-up, naming
// it; then nothing is open, as without a catalogue, and the file is not touched.
TEST(DataModule, ATableOfAnotherShapeOpensNothing) {
    const struct {
        const char *table;
        const char *field;
        const char *sql;
    } cases[] = {
        {"Programas", "Link",
         "DROP VIEW ProgDisc; ALTER TABLE Programas DROP COLUMN Link; CREATE VIEW ProgDisc AS "
         "SELECT p.NroDisco, d.DescripcionDisco, p.NombrePrograma, p.Version, p.Empresa, "
         "p.Licencia, p.Anio, p.Comentario FROM Programas p LEFT JOIN Discos d USING (NroDisco)"},
        {"Discos", "FechaDisco",
         "DROP VIEW ProgDisc; CREATE TABLE D2 AS SELECT NroDisco, DescripcionDisco, Comentario, "
         "FechaDisco FROM Discos; PRAGMA foreign_keys = OFF; DROP TABLE Discos; "
         "ALTER TABLE D2 RENAME TO Discos"},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.table);
        TempCatalogue catalogue(true);
        catalogue.exec(QString::fromUtf8(test.sql));
        const QByteArray before = catalogue.fileBytes();
        ScopedCwd cwd(catalogue.dir());
        TDataModule2 module;
        try {
            module.DataModuleCreate();
            ADD_FAILURE() << "opened";
        } catch (const DatabaseError &error) {
            EXPECT_EQ(error.cause(), Cause::MissingField);
            EXPECT_EQ(error.table(), test.table);
            EXPECT_EQ(error.field(), test.field);
        }
        EXPECT_FALSE(module.ADOConnection.Connected());
        EXPECT_FALSE(module.TDiscos.Active());
        EXPECT_FALSE(module.TProgramas.Active());
        EXPECT_EQ(catalogue.fileBytes(), before);
    }
}

// A folder whose name is not valid UTF-8 (made on another system, say): the file is opened by
// the file system's own bytes, not by a re-encoded name that does not exist.
TEST(DataModule, OpensInAFolderWhoseNameIsNotText) {
    TempCatalogue parent(false, false);
    const QByteArray made = QFile::encodeName(parent.dir()) + "/made";
    const QByteArray odd = QFile::encodeName(parent.dir()) + "/cat\xe1logo";
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(made)));
    store::createCatalogue(QFile::decodeName(made), true);
    ASSERT_EQ(::rename(made.constData(), odd.constData()), 0);
    const QString previous = QDir::currentPath();
    ASSERT_EQ(::chdir(odd.constData()), 0);
    {
        TDataModule2 module;
        EXPECT_NO_THROW(module.DataModuleCreate());
        EXPECT_EQ(module.TDiscos.RecordCount(), 12);
        EXPECT_EQ(module.TProgDisc.RecordCount(), 84);
    }
    QDir::setCurrent(previous);
    ::rename(odd.constData(), made.constData()); // so that the temporary folder can go
}
