#pragma once

#include "store/engine/Engine.h"

struct sqlite3;

// What only a catalogue file has: its SQLite handle, for the page-by-page backup and the checks.
namespace store::engine {

DatabaseError::Kind kindOf(int resultCode);
[[noreturn]] void raise(sqlite3 *db, int resultCode, const QString &path);

// The file's handle, or null when the database is not a file.
sqlite3 *sqliteHandle(Database *db);

// Closes the file, reporting what closing found (the last writes reaching the disk).
void closeFile(DbHandle db);

// Opens an existing file only to read it, without the checks `open` makes.
DbHandle openToRead(const QByteArray &fileName, const QString &path);

} // namespace store::engine
