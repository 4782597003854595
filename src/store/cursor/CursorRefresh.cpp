#include "store/cursor/TableCursor.h"

#include "store/cursor/BackgroundRead.h"
#include "store/cursor/CursorSession.h"
#include "store/cursor/DataSource.h"
#include "store/engine/Connection.h"
#include "store/engine/Engine.h"
#include "store/schema/Schema.h"

#include <algorithm>
#include <optional>

// Rows that arrive from a background read, and the reopening that patches the copy kept at closing
// with this program's own writes.

namespace store {

// ---- Reading in the background ------------------------------------------------------------------

void TableCursor::openFrom(BackgroundRead &reader, size_t changePosition, qint64 version) {
    if (Active())
        return;
    try {
        pending_ = reader.add(tableName_);
    } catch (DatabaseError &error) {
        if (error.table().isEmpty())
            error.about(tableName_);
        throw;
    }
    query_ = pending_->query;
    isView_ = query_.isView;
    prepareOrder();
    // The fields are known now; the rows come later. The connection tells the bound controls
    // once the reading has started (they show no rows), and the cursor again when they are in.
    dropRows();
    rows_.reset(query_.fields, query_.hiddenKey);
    retained_ = Snapshot();
    stampLoad(changePosition, version);
    state_ = State::Browse;
}

void TableCursor::settle() const {
    if (!pending_)
        return;
    auto *self = const_cast<TableCursor *>(this);
    if (pending_->rows.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        session_->waitFor([self] {
            return !self->pending_ ||
                   self->pending_->rows.wait_for(std::chrono::milliseconds(40)) ==
                       std::future_status::ready;
        });
    if (pending_)
        self->adoptPending();
}

namespace {
bool ready(const std::future<Snapshot> &rows) {
    return rows.valid() && rows.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}
} // namespace

// Takes the first rows of the background read aside when they are in, waiting for them (a short
// wait: they are read before anything else) when asked to. The whole rows, when they come first,
// are adopted instead.
void TableCursor::takeFirst(bool wait) {
    if (!pending_ || !pending_->first.valid())
        return;
    if (wait)
        session_->waitFor([this] {
            return !pending_ || ready(pending_->rows) ||
                   pending_->first.wait_for(std::chrono::milliseconds(40)) ==
                       std::future_status::ready;
        });
    if (pending_ && ready(pending_->rows)) {
        adoptPending();
    } else if (pending_ && ready(pending_->first)) {
        try {
            firstRows_ = pending_->first.get();
        } catch (...) {
            // Nothing to show early; the whole rows will say what went wrong.
        }
    }
}

// Whether the first rows alone are the top of the list under that order and filter.
bool TableCursor::firstRowsServe(const QString &order, const FilterRule &filter) const {
    if (filter.field >= 0)
        return false;
    const int wanted = query_.firstOrder.isEmpty() ? -1 : rows_.fieldIndex(query_.firstOrder);
    return orderField(order) == wanted;
}

// True when what the user sees under that order and filter needs no more than the first rows:
// they are shown (when they were not yet), or every row is in. False when every row is needed.
bool TableCursor::serveFirst(const QString &order, const FilterRule &filter) {
    if (!pending_)
        return true;
    if (!firstRowsServe(order, filter))
        return false;
    if (showingFirst_)
        return true;
    takeFirst(true);
    if (!pending_)
        return true;
    if (firstRows_.fieldCount() == 0)
        return false;
    rows_ = std::exchange(firstRows_, Snapshot());
    rows_.setTextOrder(order_);
    showingFirst_ = true;
    rebuildVisible(activeFilter());
    current_ = visible_.empty() ? -1 : 0;
    atEnd_ = visible_.empty();
    emit dataSetChanged();
    emit recordChanged();
    return true;
}

void TableCursor::adoptPending() {
    const std::shared_ptr<PendingRows> pending = std::move(pending_); // leaves none pending
    // The row the user is on among the first rows stays current among all of them.
    const int firstRow = showingFirst_ && current_ >= 0 ? int(visible_[current_]) : -1;
    const bool keyed = firstRow >= 0 && (rows_.hiddenKey() || !rows_.isNull(firstRow, 0));
    const qint64 key = keyed ? rows_.key(firstRow) : 0;
    const int index = current_;
    showingFirst_ = false;
    try {
        rows_ = pending->rows.get();
        rows_.setTextOrder(order_);
        rebuildVisible(activeFilter());
    } catch (DatabaseError &error) {
        // As a failed opening: the cursor is closed.
        dropRows();
        setState(State::Inactive);
        emit dataSetChanged();
        if (error.table().isEmpty())
            error.about(tableName_);
        throw;
    }
    if (firstRow >= 0)
        placeOnRow(keyed ? rows_.rowOfKey(key) : -1, index);
    else {
        current_ = visible_.empty() ? -1 : 0;
        atEnd_ = visible_.empty();
    }
    emit stateChanged();
    emit dataSetChanged();
    emit recordChanged();
}

// Rows that arrived while nobody waited for them: the bound controls show them now. A failure
// goes to whoever shows errors for the controls.
void TableCursor::adoptIfReady() {
    if (!pending_)
        return;
    try {
        if (ready(pending_->rows)) {
            adoptPending();
        } else if (!showingFirst_) {
            takeFirst(false);
            if (firstRows_.fieldCount() > 0) // never a wait here, inside an event
                serveFirst(indexFieldNames_, activeFilter());
        }
    } catch (...) {
        if (!sources_.empty())
            sources_.front()->reportError(std::current_exception());
    }
}

// ---- Refreshing by patching ---------------------------------------------------------------------

// The copy kept at closing is brought up to date with the writes this program made since it was
// taken, reading only the rows they touched. Refused (false) when another connection wrote, a
// write reached further than its own row (a trigger, a cascade), or the locale changed.
bool TableCursor::patchRetained() {
    if (retained_.fieldCount() == 0 || !connection_ ||
        connection_->dataVersion() != loadedVersion_ || QLocale().name() != loadedLocale_)
        return false;
    const std::vector<CursorSession::Change> &changes = session_->changes();
    for (size_t i = loadedAt_; i < changes.size(); ++i)
        if (changes[i].wide)
            return false;
    Snapshot rows = std::exchange(retained_, Snapshot());
    readKeysAgain(rows, touchedKeys(rows, changes, loadedAt_));
    rows_ = std::move(rows);
    stampLoad(changes.size(), loadedVersion_);
    return true;
}

// The keys of `rows` that the changes from `first` on touched: a row of this table or view by
// its key, and on the joined view every program of a changed CD (its description shows there).
std::vector<qint64> TableCursor::touchedKeys(const Snapshot &rows,
                                             const std::vector<CursorSession::Change> &changes,
                                             size_t first) const {
    const int cdField = query_.hiddenKey ? rows.fieldIndex(schema::field(schema::joined::Cd)) : -1;
    std::vector<qint64> keys;
    for (size_t i = first; i < changes.size(); ++i) {
        const CursorSession::Change &change = changes[i];
        const bool programs =
            change.table.compare(QLatin1String(schema::programs::table), Qt::CaseInsensitive) == 0;
        const bool cds =
            change.table.compare(QLatin1String(schema::cds::table), Qt::CaseInsensitive) == 0;
        if (change.table.compare(tableName_, Qt::CaseInsensitive) == 0 ||
            (query_.hiddenKey && programs)) {
            keys.push_back(change.key);
        } else if (query_.hiddenKey && cds && cdField >= 0) {
            for (int r = 0; r < rows.rowCount(); ++r)
                if (!rows.isNull(r, cdField) && rows.number(r, cdField) == change.key)
                    keys.push_back(rows.key(r));
        }
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

// Each key's row as the database holds it now takes its place in `rows`: changed, gone, or
// added in key order.
void TableCursor::readKeysAgain(Snapshot &rows, const std::vector<qint64> &keys) const {
    const QString path = connection_->dataSource();
    engine::Statement select(connection_->handle(), query_.selectByKey, path);
    std::vector<std::pair<int, std::vector<QVariant>>> updates;
    std::vector<std::pair<qint64, std::vector<QVariant>>> added;
    std::vector<int> removed;
    for (const qint64 key : keys) {
        std::optional<std::vector<QVariant>> values = readRowByKey(select, query_, key);
        const int row = rows.rowOfKey(key);
        if (values && row >= 0)
            updates.emplace_back(row, std::move(*values));
        else if (values)
            added.emplace_back(key, std::move(*values));
        else if (row >= 0)
            removed.push_back(row);
    }
    rows.setRows(updates);
    std::sort(removed.rbegin(), removed.rend());
    for (const int row : removed)
        rows.removeRow(row);
    for (auto &[key, values] : added) { // in ascending key order
        int row = rows.rowCount();
        while (row > 0 && rows.key(row - 1) > key)
            --row;
        rows.insertRow(row, values, key);
    }
}

// ---- Others' changes, as they happen ------------------------------------------------------------

bool TableCursor::patchOthers(const std::vector<CursorSession::Change> &changes, qint64 version) {
    if (!Active() || pending_ || state_ != State::Browse || query_.selectByKey.isEmpty() ||
        !rows_.hasKeys())
        return false;
    const std::vector<qint64> keys = touchedKeys(rows_, changes, 0);
    if (!keys.empty()) {
        const int row = current_ >= 0 ? int(visible_[current_]) : -1;
        const qint64 key = row >= 0 ? rows_.key(row) : 0;
        const int index = current_;
        readKeysAgain(rows_, keys);
        rebuildVisible(activeFilter());
        // The same row stays current wherever it went; a row that went leaves its place to the
        // one after it.
        placeOnRow(row >= 0 ? rows_.rowOfKey(key) : -1, index);
        emit dataSetChanged();
        emit recordChanged();
    }
    loadedVersion_ = version;
    return true;
}

} // namespace store
