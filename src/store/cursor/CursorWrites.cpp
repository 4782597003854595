#include "store/cursor/TableCursor.h"

#include "store/cursor/CursorSession.h"
#include "store/cursor/DataSource.h"
#include "store/engine/Connection.h"
#include "store/engine/Conversions.h"
#include "store/engine/Engine.h"

#include <optional>
#include <utility>

// Editing and writing rows: each write checks first that the row still holds what this cursor read.

namespace store {

using Kind = DatabaseError::Kind;

namespace {

using engine::WriteTransaction;

// A row by its key: a file's key matches with IS, as an empty one did before; a server's keys are
// never empty, and only = finds them by the index.
QByteArray keyMatch(const engine::Database *db) {
    return db->engine() == engine::Database::Engine::Server ? " = ?" : " IS ?";
}

bool isConflict(const DatabaseError &error) {
    return error.cause() == DatabaseError::Cause::ChangedElsewhere ||
           error.cause() == DatabaseError::Cause::RowGone;
}

} // namespace

// ---- Editing ------------------------------------------------------------------------------------

void TableCursor::setState(State state) {
    if (state == state_)
        return;
    state_ = state;
    emit stateChanged();
}

void TableCursor::flushEditors() {
    for (TDataSource *source : sources_)
        source->updateRecord();
}

void TableCursor::endPendingEdit() {
    if (state_ != State::Edit && state_ != State::Insert)
        return;
    flushEditors();
    if (modified_)
        PostRow();
    else
        CancelRow();
}

void TableCursor::EditRow() {
    requireWritable();
    if (state_ != State::Browse)
        return;
    if (visible_.empty()) {
        buffer_.assign(size_t(rows_.fieldCount()), QVariant());
        modified_ = false;
        setState(State::Insert);
    } else {
        const int row = int(visible_[current_]);
        buffer_.resize(size_t(rows_.fieldCount()));
        for (int f = 0; f < rows_.fieldCount(); ++f)
            buffer_[f] = rows_.value(row, f);
        modified_ = false;
        setState(State::Edit);
    }
    emit recordChanged();
}

void TableCursor::bindValue(engine::Statement &statement, int index, int field,
                            const QVariant &internal) const {
    if (!internal.isValid()) {
        statement.bindNull(index);
        return;
    }
    switch (rows_.field(field).kind) {
    case FieldKind::Integer:
        statement.bindInt(index, internal.toLongLong());
        break;
    case FieldKind::Date:
        statement.bindText(index, serialToIso(internal.toLongLong()));
        break;
    case FieldKind::Text:
    case FieldKind::Memo:
        statement.bindText(index, internal.toString().toUtf8());
        break;
    }
}

// An insert is one statement, which SQLite runs in a transaction of its own; an update checks
// first, in the same transaction, that the row still holds what the copy read at `readRow`.
// Returns the new row's key when the engine assigned it.
qint64 TableCursor::writeRow(bool insert, const std::vector<QVariant> &values,
                             const QVariant &oldKey, const std::vector<int> &changed, int readRow) {
    engine::Database *db = connection_->handle();
    const QString path = connection_->dataSource();
    const int count = rows_.fieldCount();
    const bool numbered = insert && !values[0].isValid(); // the engine gives the number
    QByteArray sql;
    if (insert) {
        QByteArray names, marks;
        for (int f = 0; f < count; ++f) {
            names += (f ? "," : "") + db->quoted(rows_.field(f).name);
            marks += f ? ",?" : "?";
        }
        sql = "INSERT INTO " + db->quoted(tableName_) + " (" + names + ") VALUES (" + marks + ")";
        if (numbered)
            sql += " RETURNING " + db->quoted(rows_.field(0).name);
    } else {
        // Only the fields that changed: a stored value the program cannot read (a date in
        // another form) stays as it is unless the user replaces it.
        QByteArray sets;
        for (int f : changed)
            sets += (sets.isEmpty() ? "" : ",") + db->quoted(rows_.field(f).name) + "=?";
        if (sets.isEmpty())
            return oldKey.toLongLong(); // nothing to write
        sql = "UPDATE " + db->quoted(tableName_) + " SET " + sets + " WHERE " +
              db->quoted(rows_.field(0).name) + keyMatch(db);
    }
    session_->finishBackgroundRead(); // its read lock would hold the write back
    engine::Statement statement(db, sql, path);
    int parameter = 0;
    for (int f = 0; f < count; ++f)
        if (insert || std::find(changed.begin(), changed.end(), f) != changed.end())
            bindValue(statement, ++parameter, f, f < int(values.size()) ? values[f] : QVariant());
    if (!insert)
        bindValue(statement, ++parameter, 0, oldKey);
    std::optional<WriteTransaction> transaction;
    if (!insert) {
        transaction.emplace(db, path);
        requireUnchanged(readRow, DatabaseError::Cause::RowGone);
    }
    const qint64 changesBefore = db->totalChanges();
    qint64 key = insert && !numbered ? values[0].toLongLong() : oldKey.toLongLong();
    try {
        while (statement.step())
            key = statement.int64(0);
        if (!insert && statement.changes() == 0)
            throw DatabaseError(Kind::Other, QStringLiteral("no row to update"), path,
                                DatabaseError::Cause::RowGone);
        if (transaction)
            transaction->commit();
    } catch (DatabaseError &error) {
        if (error.cause() == DatabaseError::Cause::Relation)
            throw DatabaseError(error.kind(), error.engineMessage(), error.path(),
                                DatabaseError::Cause::MissingParent)
                .about(tableName_);
        throw std::move(error.about(tableName_));
    }
    if (!insert && oldKey != values[0]) {
        recordWrite(oldKey.toLongLong(), changesBefore); // the row left its old key
        key = values[0].toLongLong();
    }
    recordWrite(key, changesBefore);
    return key;
}

// The row of the copy's `row` key as the file holds it now, read and converted as an opening
// reads it (an unreadable date reads as empty on both sides), must equal the copy's: otherwise
// another program changed it since this cursor read it, and nothing is written.
void TableCursor::requireUnchanged(int row, DatabaseError::Cause whenGone) const {
    if (row < 0 || query_.selectByKey.isEmpty())
        return;
    const QString path = connection_->dataSource();
    engine::Database *db = connection_->handle();
    engine::Statement select(db, query_.selectByKey + db->lockForUpdate(), path);
    const std::optional<std::vector<QVariant>> stored =
        readRowByKey(select, query_, rows_.key(row));
    if (!stored)
        throw DatabaseError(Kind::Other, QStringLiteral("the row is no longer in the file"), path,
                            whenGone)
            .about(tableName_);
    for (int f = 0; f < rows_.fieldCount(); ++f)
        if ((*stored)[size_t(f)] != rows_.value(row, f))
            throw DatabaseError(
                Kind::Other,
                QStringLiteral("another program changed the row (%1)").arg(rows_.field(f).name),
                path, DatabaseError::Cause::ChangedElsewhere)
                .about(tableName_, rows_.field(f).name);
}

// A refused modify or delete: the user is told, and sees the rows as the file holds them now.
// A failure to read them again is reported on its own; the refusal is what propagates.
void TableCursor::conflicted(std::exception_ptr error) {
    try {
        reread();
        if (afterConflict_)
            afterConflict_();
    } catch (...) {
        if (!sources_.empty())
            sources_.front()->reportError(std::current_exception());
    }
    std::rethrow_exception(error);
}

void TableCursor::reread() {
    if (!Active())
        return;
    settle();
    const int index = current_;
    const int row = current_ >= 0 ? int(visible_[current_]) : -1;
    const bool keyed =
        !isView_ && row >= 0 && rows_.field(0).kind == FieldKind::Integer && !rows_.isNull(row, 0);
    const qint64 key = keyed ? rows_.number(row, 0) : 0;
    std::vector<std::pair<int, QVariant>> typed;
    if (state_ == State::Edit && row >= 0)
        for (int f = 0; f < rows_.fieldCount() && f < int(buffer_.size()); ++f)
            if (buffer_[size_t(f)] != rows_.value(row, f))
                typed.emplace_back(f, buffer_[size_t(f)]);
    setActive(false);
    retained_ = Snapshot(); // every row, not a patch of this program's own writes
    setActive(true);
    int found = -1;
    if (keyed)
        found =
            rows_.hasKeys() ? rows_.rowOfKey(key) : findMatch(0, QVariant(qlonglong(key)), false);
    placeOnRow(found, index);
    if (found >= 0 && state_ == State::Browse && visible_.placeOf(found) >= 0 && !typed.empty()) {
        buffer_ = rows_.rowValues(found);
        for (const auto &[field, value] : typed)
            buffer_[size_t(field)] = value;
        modified_ = true;
        setState(State::Edit);
    }
    emit recordChanged();
}

// Tells the connection which row this write changed; a write that changed more than its own
// row (a trigger, a cascade) is marked so that no cursor patches around it.
void TableCursor::recordWrite(qint64 key, qint64 totalChangesBefore) {
    const bool wide = connection_->handle()->totalChanges() - totalChangesBefore > 1;
    session_->recordChange(CursorSession::Change{tableName_, key, wide});
}

void TableCursor::wrote() {
    if (afterWrite_)
        afterWrite_();
}

// Inserts the row into the database, then into the copy, where it becomes current.
void TableCursor::addWrittenRow(std::vector<QVariant> values) {
    const qint64 key = writeRow(true, values, {});
    if (!values[0].isValid() && rows_.field(0).kind == FieldKind::Integer)
        values[0] = QVariant(qlonglong(key)); // the number the engine gave it
    rows_.appendRow(values);
    rebuildVisible(activeFilter());
    placeOnRow(rows_.rowCount() - 1, int(visible_.size()) - 1);
}

void TableCursor::PostRow() {
    requireOpen();
    if (state_ != State::Edit && state_ != State::Insert)
        return;
    flushEditors();
    std::vector<QVariant> values = buffer_;
    if (state_ == State::Insert) {
        addWrittenRow(std::move(values));
    } else {
        const int row = int(visible_[current_]);
        const int index = current_;
        std::vector<int> changed;
        for (int f = 0; f < rows_.fieldCount(); ++f)
            if (f >= int(values.size()) || values[f] != rows_.value(row, f))
                changed.push_back(f);
        try {
            writeRow(false, values, rows_.value(row, 0), changed, row);
        } catch (const DatabaseError &error) {
            if (isConflict(error))
                conflicted(std::current_exception());
            throw;
        }
        rows_.setRow(row, values);
        rebuildVisible(activeFilter());
        placeOnRow(row, index);
    }
    buffer_.clear();
    modified_ = false;
    setState(State::Browse);
    emit dataSetChanged();
    emit recordChanged();
    wrote();
}

void TableCursor::CancelRow() {
    if (state_ != State::Edit && state_ != State::Insert)
        return;
    buffer_.clear();
    modified_ = false;
    setState(State::Browse);
    emit recordChanged();
}

void TableCursor::DeleteRow() {
    requireWritable();
    CancelRow();
    if (current_ < 0)
        throw DatabaseError(Kind::Other, QStringLiteral("%1 has no row to delete").arg(tableName_),
                            connection_->dataSource());
    const int row = int(visible_[current_]);
    const int index = current_;
    {
        engine::Database *db = connection_->handle();
        engine::Statement statement(connection_->handle(),
                                    "DELETE FROM " + db->quoted(tableName_) + " WHERE " +
                                        db->quoted(rows_.field(0).name) +
                                        keyMatch(connection_->handle()),
                                    connection_->dataSource());
        bindValue(statement, 1, 0, rows_.value(row, 0));
        session_->finishBackgroundRead();
        // Only the row as this program read it is deleted, never one another program changed
        // or put under the same number since.
        try {
            WriteTransaction transaction(connection_->handle(), connection_->dataSource());
            requireUnchanged(row, DatabaseError::Cause::ChangedElsewhere);
            const qint64 changesBefore = connection_->handle()->totalChanges();
            statement.step();
            transaction.commit();
            recordWrite(rows_.number(row, 0), changesBefore);
        } catch (const DatabaseError &error) {
            if (isConflict(error))
                conflicted(std::current_exception());
            if (error.kind() != Kind::Refused)
                throw;
            // The relation refuses a CD that programs still point at; a trigger of the file's
            // own may refuse any row for reasons of its own.
            throw DatabaseError(error.kind(), error.engineMessage(), error.path(),
                                error.cause() == DatabaseError::Cause::Relation
                                    ? DatabaseError::Cause::HasChildren
                                    : DatabaseError::Cause::DeleteRefused)
                .about(tableName_);
        }
    }
    rows_.removeRow(row);
    rebuildVisible(activeFilter());
    // The following row takes the place of the deleted one; after the last, the new last.
    placeOnRow(-1, index);
    emit dataSetChanged();
    emit recordChanged();
    wrote();
}

void TableCursor::InsertRow(const QVariantList &values) {
    requireWritable();
    endPendingEdit();
    std::vector<QVariant> internal(size_t(rows_.fieldCount()));
    for (int f = 0; f < rows_.fieldCount() && f < values.size(); ++f)
        internal[f] = toInternal(f, values[f]);
    addWrittenRow(std::move(internal));
    emit dataSetChanged();
    emit recordChanged();
    wrote();
}

} // namespace store
