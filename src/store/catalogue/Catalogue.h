#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <variant>

namespace store::engine {
class Database;
}

// Creating a catalogue folder: what `vadrel-db init` does. The program itself never creates
// db.mdb.
namespace store {

// Creates DIR/db.mdb with the two tables, the relation that refuses deleting a CD with
// programs, and the ProgDisc view; with `sample`, also a sample catalogue. The file appears
// whole or not at all, and an existing db.mdb is never touched. Throws DatabaseError (kind Io)
// with a message for the user when the folder is missing or not writable or the file exists.
void createCatalogue(const QString &directory, bool sample);

// A value on its way into a new catalogue: NULL, a whole number or a text in UTF-8.
using NewValue = std::variant<std::monostate, qint64, QByteArray>;

// Adds rows to a catalogue while it is being created, with prepared statements.
class NewRows {
public:
    virtual ~NewRows() = default;
    // NroDisco, DescripcionDisco, FechaDisco (as stored: "2004-02-29"), Comentario.
    virtual void addCd(const std::array<NewValue, 4> &values) = 0;
    // The nine fields of Programas in their order.
    virtual void addProgram(const std::array<NewValue, 9> &values) = 0;
    // Rows in the table so far.
    virtual qint64 count(const char *table) = 0;
    // The catalogue being made, inside its transaction.
    virtual engine::Database *database() = 0;
};

// Creates DIR/db.mdb as above and lets `fill` add rows in the same transaction: the file
// appears with every row, or, when `fill` throws, not at all.
void createCatalogue(const QString &directory, const std::function<void(NewRows &)> &fill);

// True when the file begins as a Microsoft Access (Jet or ACE) database does.
bool isAccessFile(const QByteArray &path);

// True when the file is a sound catalogue (the engine's integrity check) holding exactly `cds`
// CDs and `programs` programs.
bool catalogueHolds(const QByteArray &path, qint64 cds, qint64 programs);

// Puts the catalogue `converted` in the place of DIR/db.mdb, whose file is kept unchanged under
// the first free name of db-access.mdb, db-access-2.mdb, ...; returns that name. db.mdb names one
// file or the other at every moment, and a failure leaves both as they were. Throws FileError.
QByteArray adoptConvertedCatalogue(const QByteArray &converted, const QByteArray &directory);

// The schema, for tools and tests that build catalogues of their own.
const char *catalogueSchema();

// Adds the sample CDs and programs to an open, empty catalogue.
void insertSampleData(engine::Database *db, const QString &path);

// Rows added to an open catalogue with prepared statements, in the caller's transaction.
std::unique_ptr<NewRows> rowsInto(engine::Database *db);

} // namespace store
