#pragma once

#include "store/cursor/Snapshot.h"
#include "store/engine/Engine.h"

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
    // The first rows in the order a grid shows them first, read before the rest so that a grid
    // has something to show at once (empty: none); `firstOrder` is the field that order follows,
    // empty for the rows' own order.
    QByteArray selectFirst;
    QString firstOrder;
    // Our joined view in a file is read as the programs alone, its CD's description looked up
    // in the CDs read beside them: a million look-ups of the CD in its table cost more than
    // reading the rows. `selectAll` then leaves the description null, in `descriptionField`.
    QByteArray selectDescriptions;
    int descriptionField = -1;
    int cdField = -1;
    std::vector<FieldDef> fields;
};

// How many rows `selectFirst` reads: several screens of any grid.
constexpr int kFirstRows = 2000;

// How far a reading has come, for a progress indicator on another thread.
struct ReadProgress {
    std::atomic<qint64> read{0};
    std::atomic<qint64> expected{-1}; // -1 until known
};

struct ReadOptions {
    // When set from another thread, the reading ends with an error.
    const std::atomic<bool> *stop = nullptr;
    // A view with the hidden program number shares the texts equal to the lender's (the
    // programs, read just before).
    const Snapshot::Lender *lender = nullptr;
    ReadProgress *progress = nullptr;
    // Counting the rows first spares the columns growing; pointless for a few.
    bool countFirst = true;
    // The statement is selectFirst's, which joins for itself.
    bool firstRows = false;
};

// Looks the table or view up and learns its fields; a missing one fails here.
RowQuery describeRows(engine::Database *db, const QString &path, const QString &tableName);

// Reads every row the statement (prepared from selectAll or selectFirst) gives into `rows`,
// which it resets.
void readRows(engine::Database *db, engine::Statement &select, const RowQuery &query,
              Snapshot &rows, const ReadOptions &options = {});

// The row of one key in internal form (see Snapshot), or nothing when no row has it.
std::optional<std::vector<QVariant>> readRowByKey(engine::Statement &selectByKey,
                                                  const RowQuery &query, qint64 key);

} // namespace store
