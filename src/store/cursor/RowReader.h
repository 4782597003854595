#pragma once

#include "Engine.h"
#include "Snapshot.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <optional>
#include <vector>

namespace store {

// How a cursor reads its table or view from the engine: every row when it opens, and one key's
// row when it is refreshed by patching.
struct RowQuery {
    QString tableName;
    bool isView = false;
    // The joined view of our own catalogues is read with the program number beside its fields,
    // so its rows can be found by key; a view of another making cannot be patched.
    bool hiddenKey = false;
    QByteArray selectAll;   // a table's rows in ascending order of its first field
    QByteArray selectByKey; // empty when the rows have no key to patch by
    std::vector<FieldDef> fields;
};

// Looks the table or view up and learns its fields; a missing one fails here.
RowQuery describeRows(engine::Database *db, const QString &path, const QString &tableName);

// Reads every row the statement (prepared from selectAll) gives into `rows`, which it resets.
// `stop`, when set from another thread, ends the reading with an error. A view with the hidden
// program number shares the texts equal to the `lender`'s (the programs, read just before).
void readRows(engine::Database *db, engine::Statement &select, const RowQuery &query,
              Snapshot &rows, const std::atomic<bool> *stop = nullptr,
              const Snapshot::Lender *lender = nullptr);

// The row of one key in internal form (see Snapshot), or nothing when no row has it.
std::optional<std::vector<QVariant>> readRowByKey(engine::Statement &selectByKey,
                                                  const RowQuery &query, qint64 key);

} // namespace store
