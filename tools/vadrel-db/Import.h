#pragma once

#include "vadrel-db/AccessReader.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// The columns the import reads from the old file's Discos and Programas, in our order.
extern const std::vector<AccessReader::Column> kAccessCdColumns;
extern const std::vector<AccessReader::Column> kAccessProgramColumns;

// What an import read and wrote.
struct ImportReport {
    qint64 cdsRead = 0;
    qint64 programsRead = 0;
    qint64 cdsWritten = 0;
    qint64 programsWritten = 0;
    std::vector<qint64> addedCds; // CDs that programs named but the old file lacked
    QStringList ignoredColumns;   // "Table.Column", not read
};

// Brings the old Access catalogue open in `reader` across: DIR/db.mdb is created as `vadrel-db
// init` creates it and gets every row of Discos and Programas in the same transaction, NULLs
// kept, texts as they are, dates as stored dates. Throws ImportError or store::DatabaseError
// with the reason; no db.mdb is left behind then, and the old file is only ever read. Whatever
// the caller can refuse cheaply (a db.mdb already there, no folder) it refuses before opening
// the old file.
ImportReport importAccessCatalogue(AccessReader &reader, const QString &directory);
// The same into a new catalogue on the server at `address` (as `vadrel-db init --servidor`
// creates it), in one transaction.
ImportReport importAccessCatalogueToServer(AccessReader &reader, const QByteArray &address);
