#pragma once

#include "store/engine/Engine.h"

#include <QString>

// The rows of one catalogue into another, whatever engines hold them: how a folder's catalogue
// moves onto a server, how a server's comes home, and how a server's catalogue is backed up.
namespace store::engine {

struct CopiedRows {
    qint64 cds = 0;
    qint64 programs = 0;
};

// Adds every CD and program of `from`, and what tells its read discs apart, to the empty tables
// of `to`, in key order, in the
// transaction the caller holds on `to`. `from` should be inside a snapshot (beginSnapshot) so
// that it reads one moment, and the same one `compareRows` reads afterwards.
CopiedRows copyRows(Database *from, Database *to);

// Whether the catalogue holds this table of the program's own (a server keeps names in lower
// case).
bool hasTable(Database *db, const char *name);

// Compares both catalogues row by row, every field as each engine gives it as text; returns
// the first difference (table, key and field), or the empty text when they hold the same.
QString compareRows(Database *a, Database *b);

} // namespace store::engine
