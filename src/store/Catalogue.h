#pragma once

#include <QString>

struct sqlite3;

// Creating a catalogue folder: what `vadrel-db init` does. The program itself never creates
// db.mdb.
namespace store {

// Creates DIR/db.mdb with the two tables, the relation that refuses deleting a CD with
// programs, and the ProgDisc view; with `sample`, also a sample catalogue. The file appears
// whole or not at all, and an existing db.mdb is never touched. Throws DatabaseError (kind Io)
// with a message for the user when the folder is missing or not writable or the file exists.
void createCatalogue(const QString &directory, bool sample);

// The schema, for tools and tests that build catalogues of their own.
const char *catalogueSchema();

// Adds the sample CDs and programs to an open, empty catalogue.
void insertSampleData(sqlite3 *db, const QString &path);

} // namespace store
