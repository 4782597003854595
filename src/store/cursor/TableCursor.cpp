#include "store/cursor/TableCursor.h"

#include "store/cursor/BackgroundRead.h"
#include "store/cursor/CursorSession.h"
#include "store/cursor/DataSource.h"
#include "store/engine/Connection.h"
#include "store/engine/Engine.h"
#include "store/order/TextOrder.h"

#include <algorithm>

// Opening, closing and moving between rows; the bound controls' data sources.

namespace store {

using Kind = DatabaseError::Kind;

// ---- TableCursor: opening and closing --------------------------------------------------------

TableCursor::TableCursor(const QString &tableName, QObject *parent)
    : QObject(parent)
    , tableName_(tableName) {}

TableCursor::~TableCursor() {
    if (session_)
        session_->detach(this);
    for (TDataSource *source : sources_)
        source->cursorGone();
}

void TableCursor::setConnection(Connection *connection) {
    if (connection_ == connection)
        return;
    setActive(false);
    retained_ = Snapshot();
    if (session_)
        session_->detach(this);
    connection_ = connection;
    session_ = connection ? &CursorSession::of(*connection) : nullptr;
    if (session_)
        session_->attach(this);
}

void TableCursor::requireOpen() const {
    if (state_ == State::Inactive)
        throw DatabaseError(Kind::NotOpen, QStringLiteral("cursor %1 not open").arg(tableName_),
                            connection_ ? connection_->dataSource() : QString());
    settle();
}

// Enough for what grids and bound controls read: the first rows of a background read will do.
void TableCursor::requireShown() {
    if (state_ == State::Inactive)
        throw DatabaseError(Kind::NotOpen, QStringLiteral("cursor %1 not open").arg(tableName_),
                            connection_ ? connection_->dataSource() : QString());
    if (!serveFirst(indexFieldNames_, activeFilter()))
        settle();
}

void TableCursor::requireWritable() const {
    requireOpen();
    if (isView_)
        throw DatabaseError(Kind::Other, QStringLiteral("%1 is read-only").arg(tableName_),
                            connection_->dataSource());
}

void TableCursor::setActive(bool active) {
    if (active == Active())
        return;
    if (!active) {
        // A pending edit is dropped unwritten. A copy that can be patched is kept for the next
        // opening; any other is given back. A background read may be sharing these rows' texts:
        // it ends first.
        if (session_)
            session_->finishBackgroundRead();
        buffer_.clear();
        modified_ = false;
        pending_.reset();
        const bool patchable = !showingFirst_ && rows_.hasKeys() && !query_.selectByKey.isEmpty();
        retained_ = patchable ? std::move(rows_) : Snapshot();
        dropRows();
        setState(State::Inactive);
        emit dataSetChanged();
        return;
    }
    if (!connection_ || !connection_->Connected())
        throw DatabaseError(Kind::NotOpen, QStringLiteral("connection not open"),
                            connection_ ? connection_->dataSource() : QString());
    auto forget = [this] {
        dropRows();
        retained_ = Snapshot();
    };
    try {
        lastOpeningPatched_ = patchRetained();
        if (!lastOpeningPatched_)
            load();
        retained_ = Snapshot();
        rebuildVisible(activeFilter());
    } catch (DatabaseError &error) {
        forget();
        if (error.table().isEmpty())
            error.about(tableName_); // which table or view could not be read
        throw;
    } catch (...) {
        forget();
        throw;
    }
    current_ = visible_.empty() ? -1 : 0;
    atEnd_ = visible_.empty();
    setState(State::Browse);
    emit dataSetChanged();
    emit recordChanged();
}

// No rows and none current; the fields go too.
void TableCursor::dropRows() {
    showingFirst_ = false;
    firstRows_ = Snapshot();
    rows_.reset({});
    visible_.clear();
    current_ = -1;
    atEnd_ = true;
}

void TableCursor::prepareOrder() {
    collator_ = QCollator(QLocale());
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    foldCache_.clear();
    order_ = std::make_shared<TextOrder>(QLocale());
    loadedLocale_ = QLocale().name();
}

void TableCursor::stampLoad(size_t changePosition, qint64 version) {
    loadedAt_ = changePosition;
    loadedVersion_ = version;
}

void TableCursor::load() {
    engine::Database *db = connection_->handle();
    const QString path = connection_->dataSource();
    const size_t position = session_->changeCount();
    const qint64 version = connection_->dataVersion();
    query_ = describeRows(db, path, tableName_);
    isView_ = query_.isView;
    engine::Statement select(db, query_.selectAll, path);
    prepareOrder();
    readRows(db, select, query_, rows_);
    rows_.setTextOrder(order_);
    stampLoad(position, version);
}

// ---- Navigation ---------------------------------------------------------------------------------

int TableCursor::RecordCount() const {
    requireOpen();
    return int(visible_.size());
}

void TableCursor::GoFirst() {
    requireOpen();
    endPendingEdit();
    current_ = visible_.empty() ? -1 : 0;
    atEnd_ = visible_.empty();
    emit recordChanged();
}

void TableCursor::GoLast() {
    requireOpen();
    endPendingEdit();
    current_ = int(visible_.size()) - 1;
    atEnd_ = visible_.empty();
    emit recordChanged();
}

void TableCursor::GoNext() {
    requireOpen();
    endPendingEdit();
    if (current_ + 1 < int(visible_.size())) {
        ++current_;
        atEnd_ = false;
        emit recordChanged();
    } else {
        atEnd_ = true;
    }
}

void TableCursor::moveTo(int visibleRow) {
    requireShown();
    if (visibleRow < 0 || visibleRow >= int(visible_.size()) || visibleRow == current_)
        return;
    endPendingEdit();
    current_ = visibleRow;
    atEnd_ = false;
    emit recordChanged();
}

// ---- Data sources -------------------------------------------------------------------------------

void TableCursor::attachSource(TDataSource *source) {
    if (std::find(sources_.begin(), sources_.end(), source) == sources_.end())
        sources_.push_back(source);
}

void TableCursor::detachSource(TDataSource *source) {
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

void TableCursor::EnableControls() {
    if (controlsDisabled_ == 0 || --controlsDisabled_ > 0)
        return;
    const std::vector<TDataSource *> sources = sources_;
    for (TDataSource *source : sources)
        source->releaseHeld();
}

} // namespace store
