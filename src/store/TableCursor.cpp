#include "TableCursor.h"

#include "BackgroundRead.h"
#include "Connection.h"
#include "Conversions.h"
#include "DataSource.h"
#include "Engine.h"
#include "TextOrder.h"

#include <QStringBuilder>
#include <algorithm>
#include <numeric>
#include <optional>
#include <sqlite3.h>
#include <utility>

namespace store {

namespace {

using Kind = DatabaseError::Kind;

QByteArray quoted(const QString &identifier) {
    QString text = identifier;
    text.replace(u'"', QStringLiteral("\"\""));
    return ('"' + text + '"').toUtf8();
}

// Holds the file's write lock from the check of a row to its write, so that no other program
// writes in between. Rolled back unless committed.
class WriteTransaction {
public:
    WriteTransaction(sqlite3 *db, const QString &path)
        : db_(db)
        , path_(path) {
        engine::exec(db_, "BEGIN IMMEDIATE", path_);
    }
    ~WriteTransaction() {
        if (!committed_ && !sqlite3_get_autocommit(db_))
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;
    void commit() {
        engine::exec(db_, "COMMIT", path_);
        committed_ = true;
    }

private:
    sqlite3 *db_;
    QString path_;
    bool committed_ = false;
};

bool isConflict(const DatabaseError &error) {
    return error.cause() == DatabaseError::Cause::ChangedElsewhere ||
           error.cause() == DatabaseError::Cause::RowGone;
}

} // namespace

// ---- Field ----------------------------------------------------------------------------------

QString Field::FieldName() const {
    return cursor_->fieldDef(index_).name;
}
FieldKind Field::kind() const {
    return cursor_->fieldDef(index_).kind;
}
bool Field::IsNull() const {
    return !cursor_->currentValue(index_).isValid();
}

qint32 Field::AsInteger() const {
    const QVariant value = cursor_->currentValue(index_);
    if (!value.isValid())
        return 0;
    switch (kind()) {
    case FieldKind::Integer:
        return qint32(value.toLongLong());
    case FieldKind::Date:
        return qint32(value.toLongLong() / 86400);
    case FieldKind::Text:
    case FieldKind::Memo: {
        const QString text = value.toString();
        if (text.isEmpty())
            return 0;
        const auto number = parseWholeNumber(text);
        if (!number)
            cursor_->conversionError(index_, text);
        return *number;
    }
    }
    return 0;
}

QString Field::AsString() const {
    return cursor_->valueText(index_, cursor_->currentValue(index_));
}

QDateTime Field::AsDateTime() const {
    const QVariant value = cursor_->currentValue(index_);
    if (!value.isValid())
        return fromSerial(0);
    switch (kind()) {
    case FieldKind::Date:
        return fromSerial(value.toLongLong());
    case FieldKind::Integer:
        return fromSerial(value.toLongLong() * 86400);
    case FieldKind::Text:
    case FieldKind::Memo: {
        const auto serial = textToSerial(value.toString(), cursor_->dateFormat());
        if (!serial)
            cursor_->conversionError(index_, value.toString(), FieldKind::Date);
        return fromSerial(*serial);
    }
    }
    return fromSerial(0);
}

void Field::setAsString(const QString &text) {
    cursor_->setBufferValue(index_, cursor_->toInternal(index_, QVariant(text)));
}

void Field::setAsInteger(qint32 value) {
    cursor_->setBufferValue(index_, cursor_->toInternal(index_, QVariant(value)));
}

void Field::setAsDateTime(const QDateTime &value) {
    cursor_->setBufferValue(index_, cursor_->toInternal(index_, QVariant(value)));
}

void Field::Clear() {
    cursor_->setBufferValue(index_, QVariant());
}

// ---- TableCursor: opening and closing --------------------------------------------------------

TableCursor::TableCursor(const QString &tableName, QObject *parent)
    : QObject(parent)
    , tableName_(tableName) {}

TableCursor::~TableCursor() {
    if (connection_)
        connection_->detach(this);
    for (TDataSource *source : sources_)
        source->cursorGone();
}

void TableCursor::setConnection(Connection *connection) {
    if (connection_ == connection)
        return;
    setActive(false);
    retained_ = Snapshot();
    if (connection_)
        connection_->detach(this);
    connection_ = connection;
    if (connection_)
        connection_->attach(this);
}

void TableCursor::requireOpen() const {
    if (state_ == State::Inactive)
        throw DatabaseError(Kind::NotOpen, QStringLiteral("cursor %1 not open").arg(tableName_),
                            connection_ ? connection_->dataSource() : QString());
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
        if (connection_)
            connection_->finishBackgroundRead();
        buffer_.clear();
        modified_ = false;
        pending_.reset();
        const bool patchable = rows_.hasKeys() && !query_.selectByKey.isEmpty();
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
    sqlite3 *db = connection_->handle();
    const QString path = connection_->dataSource();
    const size_t position = connection_->changeCount();
    const qint64 version = connection_->dataVersion();
    query_ = describeRows(db, path, tableName_);
    isView_ = query_.isView;
    engine::Statement select(db, query_.selectAll, path);
    prepareOrder();
    readRows(select, query_, rows_);
    rows_.setTextOrder(order_);
    stampLoad(position, version);
}

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
        connection_->waitFor([self] {
            return !self->pending_ ||
                   self->pending_->rows.wait_for(std::chrono::milliseconds(40)) ==
                       std::future_status::ready;
        });
    if (pending_)
        self->adoptPending();
}

void TableCursor::adoptPending() {
    const std::shared_ptr<PendingRows> pending = std::move(pending_); // leaves none pending
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
    current_ = visible_.empty() ? -1 : 0;
    atEnd_ = visible_.empty();
    emit stateChanged();
    emit dataSetChanged();
    emit recordChanged();
}

// Rows that arrived while nobody waited for them: the bound controls show them now. A failure
// goes to whoever shows errors for the controls.
void TableCursor::adoptIfReady() {
    if (!pending_ || pending_->rows.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    try {
        adoptPending();
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
    const std::vector<Connection::Change> &changes = connection_->changes();
    const int cdField = query_.hiddenKey ? retained_.fieldIndex(QStringLiteral("NroDisco")) : -1;
    std::vector<qint64> keys;
    for (size_t i = loadedAt_; i < changes.size(); ++i) {
        const Connection::Change &change = changes[i];
        if (change.wide)
            return false;
        const bool programs = change.table.compare(u"Programas", Qt::CaseInsensitive) == 0;
        const bool cds = change.table.compare(u"Discos", Qt::CaseInsensitive) == 0;
        if (change.table.compare(tableName_, Qt::CaseInsensitive) == 0 ||
            (query_.hiddenKey && programs)) {
            keys.push_back(change.key);
        } else if (query_.hiddenKey && cds && cdField >= 0) {
            // A CD's description shows on each of its programs.
            for (int r = 0; r < retained_.rowCount(); ++r)
                if (!retained_.isNull(r, cdField) && retained_.number(r, cdField) == change.key)
                    keys.push_back(retained_.key(r));
        }
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());

    const QString path = connection_->dataSource();
    engine::Statement select(connection_->handle(), query_.selectByKey, path);
    std::vector<std::pair<int, std::vector<QVariant>>> updates;
    std::vector<std::pair<qint64, std::vector<QVariant>>> added;
    std::vector<int> removed;
    for (const qint64 key : keys) {
        std::optional<std::vector<QVariant>> values = readRowByKey(select, query_, key);
        const int row = retained_.rowOfKey(key);
        if (values && row >= 0)
            updates.emplace_back(row, std::move(*values));
        else if (values)
            added.emplace_back(key, std::move(*values));
        else if (row >= 0)
            removed.push_back(row);
    }
    Snapshot rows = std::exchange(retained_, Snapshot());
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
    rows_ = std::move(rows);
    stampLoad(changes.size(), loadedVersion_);
    return true;
}

// ---- Filter and order -------------------------------------------------------------------------

// Understands the forms the program uses: empty, and `Field = 'value'` (quotes inside doubled)
// or `Field = value`. The value is never pasted into SQL: rows are filtered in memory.
TableCursor::FilterRule TableCursor::parseFilter(const QString &text) const {
    FilterRule rule;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return rule;
    auto invalid = [&]() -> DatabaseError {
        return DatabaseError(Kind::Other, QStringLiteral("invalid filter: %1").arg(text),
                             connection_ ? connection_->dataSource() : QString());
    };
    const qsizetype equals = trimmed.indexOf(u'=');
    if (equals <= 0)
        throw invalid();
    QString name = trimmed.left(equals).trimmed();
    if (name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    rule.field = rows_.fieldIndex(name);
    if (rule.field < 0)
        throw invalid();
    QString value = trimmed.mid(equals + 1).trimmed();
    if (value.startsWith(u'\'')) {
        QString unquoted;
        qsizetype i = 1;
        for (; i < value.size(); ++i) {
            if (value[i] == u'\'') {
                if (i + 1 < value.size() && value[i + 1] == u'\'') {
                    unquoted += u'\'';
                    ++i;
                    continue;
                }
                break;
            }
            unquoted += value[i];
        }
        if (i != value.size() - 1)
            throw invalid(); // no closing quote, or something after it
        value = unquoted;
    }
    // A whole number is also matched as it is shown, past the 32-bit range that typing allows:
    // a CD listed with such a number must be found by it.
    bool wide = false;
    const qlonglong stored = value.toLongLong(&wide);
    if (wide && rows_.field(rule.field).kind == FieldKind::Integer &&
        QString::number(stored) == value && !parseWholeNumber(value)) {
        rule.value = QVariant(stored);
        return rule;
    }
    rule.value = toInternal(rule.field, QVariant(value));
    return rule;
}

QString TableCursor::equalsFilter(const QString &fieldName, const QString &value) {
    QString quoted = value;
    quoted.replace(u'\'', QStringLiteral("''"));
    return fieldName + QStringLiteral(" = '") + quoted + u'\'';
}

TableCursor::FilterRule TableCursor::activeFilter() const {
    return filtered_ ? parseFilter(filter_) : FilterRule();
}

bool TableCursor::passes(const FilterRule &filter, uint32_t row) const {
    if (filter.field < 0)
        return true;
    if (rows_.isNull(int(row), filter.field) || !filter.value.isValid())
        return false;
    const FieldKind kind = rows_.field(filter.field).kind;
    if (kind == FieldKind::Integer || kind == FieldKind::Date)
        return rows_.number(int(row), filter.field) == filter.value.toLongLong();
    return collator_.compare(rows_.text(int(row), filter.field), filter.value.toString()) == 0;
}

int TableCursor::orderField(const QString &name) const {
    if (name.trimmed().isEmpty())
        return -1;
    const int field = rows_.fieldIndex(name.trimmed());
    if (field < 0)
        throw missingField(name);
    return field;
}

void TableCursor::rebuildVisible(const FilterRule &filter) {
    const int field = orderField(indexFieldNames_);
    const int count = rows_.rowCount();
    if (field < 0 && filter.field < 0) {
        visible_.assignAll(count);
        return;
    }
    std::vector<uint32_t> rows;
    rows.reserve(size_t(count));
    auto take = [&](uint32_t row) {
        if (passes(filter, row))
            rows.push_back(row);
    };
    if (field >= 0) {
        for (uint32_t row : rows_.sortedRows(field))
            take(row);
    } else {
        for (int row = 0; row < count; ++row)
            take(uint32_t(row));
    }
    visible_.assign(std::move(rows), count);
}

void TableCursor::placeOnRow(int physicalRow, int fallbackIndex) {
    int index = visible_.placeOf(physicalRow);
    if (index < 0)
        index = std::min(fallbackIndex, int(visible_.size()) - 1);
    current_ = visible_.empty() ? -1 : std::max(index, 0);
    atEnd_ = visible_.empty();
}

void TableCursor::setFilter(const QString &text) {
    if (text == filter_)
        return;
    if (!Active() || !filtered_) {
        filter_ = text;
        return;
    }
    settle();
    endPendingEdit();
    const FilterRule rule = parseFilter(text);
    filter_ = text;
    rebuildVisible(rule);
    placeOnRow(-1, 0);
    emit dataSetChanged();
    emit recordChanged();
}

void TableCursor::setFiltered(bool filtered) {
    if (filtered == filtered_)
        return;
    if (!Active()) {
        filtered_ = filtered;
        return;
    }
    settle();
    endPendingEdit();
    const FilterRule rule = filtered ? parseFilter(filter_) : FilterRule();
    filtered_ = filtered;
    rebuildVisible(rule);
    placeOnRow(-1, 0);
    emit dataSetChanged();
    emit recordChanged();
}

void TableCursor::setIndexFieldNames(const QString &fieldName) {
    if (fieldName == indexFieldNames_)
        return;
    if (!Active()) {
        indexFieldNames_ = fieldName;
        return;
    }
    settle();
    orderField(fieldName); // refuse an unknown name before anything changes
    endPendingEdit();
    const int row = current_ >= 0 ? int(visible_[current_]) : -1;
    const QString previous = indexFieldNames_;
    indexFieldNames_ = fieldName;
    try {
        rebuildVisible(activeFilter());
    } catch (...) {
        indexFieldNames_ = previous;
        throw;
    }
    // The same record stays current: the user keeps their place.
    placeOnRow(row, 0);
    emit dataSetChanged();
    emit recordChanged();
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
    requireOpen();
    if (visibleRow < 0 || visibleRow >= int(visible_.size()) || visibleRow == current_)
        return;
    endPendingEdit();
    current_ = visibleRow;
    atEnd_ = false;
    emit recordChanged();
}

// ---- Fields -------------------------------------------------------------------------------------

Field TableCursor::Fields(int index) {
    requireOpen();
    if (index < 0 || index >= rows_.fieldCount())
        throw missingField(QString::number(index));
    return Field(this, index);
}

Field TableCursor::FieldByName(const QString &name) {
    requireOpen();
    const int index = rows_.fieldIndex(name);
    if (index < 0)
        throw missingField(name);
    return Field(this, index);
}

QVariant TableCursor::currentValue(int field) const {
    if (state_ == State::Edit || state_ == State::Insert)
        return buffer_[field];
    if (current_ < 0)
        return {};
    return rows_.value(int(visible_[current_]), field);
}

QString TableCursor::valueText(int field, const QVariant &internal) const {
    if (!internal.isValid())
        return {};
    switch (rows_.field(field).kind) {
    case FieldKind::Integer:
        return QString::number(internal.toLongLong());
    case FieldKind::Date:
        return serialToText(internal.toLongLong(), dateFormat());
    case FieldKind::Text:
    case FieldKind::Memo:
        return internal.toString();
    }
    return {};
}

QString TableCursor::displayText(int visibleRow, int field) const {
    return valueText(field, valueAt(visibleRow, field));
}

std::string_view TableCursor::utf8At(int visibleRow, int field) const {
    if (field < 0 || field >= rows_.fieldCount() || rows_.field(field).kind == FieldKind::Integer ||
        rows_.field(field).kind == FieldKind::Date)
        return {};
    return rows_.utf8(int(visible_[visibleRow]), field);
}

qint64 TableCursor::numberAt(int visibleRow, int field) const {
    if (field < 0 || field >= rows_.fieldCount() ||
        (rows_.field(field).kind != FieldKind::Integer &&
         rows_.field(field).kind != FieldKind::Date))
        return 0;
    return rows_.number(int(visible_[visibleRow]), field);
}

QVariant TableCursor::valueAt(int visibleRow, int field) const {
    if (visibleRow < 0 || visibleRow >= int(visible_.size()) || field < 0 ||
        field >= rows_.fieldCount())
        return {};
    if (visibleRow == current_ && state_ == State::Edit)
        return buffer_[field];
    return rows_.value(int(visible_[visibleRow]), field);
}

void TableCursor::conversionError(int field, const QString &text, FieldKind kind) const {
    const QString name = rows_.field(field).name;
    throw DatabaseError(Kind::Conversion,
                        QStringLiteral("'%1' does not convert for field %2").arg(text, name),
                        connection_ ? connection_->dataSource() : QString(),
                        kind == FieldKind::Date ? DatabaseError::Cause::NotADate
                                                : DatabaseError::Cause::NotAWholeNumber)
        .about(tableName_, name, text);
}

DatabaseError TableCursor::missingField(const QString &name) const {
    return DatabaseError(Kind::Other, QStringLiteral("no field %1 in %2").arg(name, tableName_),
                         connection_ ? connection_->dataSource() : QString(),
                         DatabaseError::Cause::MissingField)
        .about(tableName_, name);
}

QString TableCursor::dateFormat() const {
    return connection_ ? connection_->dateFormat() : shortDateFormat();
}

// Converts a value given by a caller (number, text, date) to the field's internal form.
QVariant TableCursor::toInternal(int field, const QVariant &external) const {
    if (!external.isValid() || external.isNull())
        return {};
    const FieldKind kind = rows_.field(field).kind;
    const int type = external.typeId();
    switch (kind) {
    case FieldKind::Integer: {
        if (type == QMetaType::QString) {
            const QString text = external.toString();
            if (text.isEmpty())
                return {};
            const auto number = parseWholeNumber(text);
            if (!number)
                conversionError(field, text);
            return QVariant(qlonglong(*number));
        }
        bool ok = false;
        const qlonglong number = external.toLongLong(&ok);
        if (!ok)
            conversionError(field, external.toString());
        return QVariant(number);
    }
    case FieldKind::Date: {
        if (type == QMetaType::QDateTime)
            return QVariant(qlonglong(toSerial(external.toDateTime())));
        if (type == QMetaType::QDate)
            return QVariant(qlonglong(toSerial(external.toDate())));
        const QString text = external.toString();
        if (text.isEmpty())
            return {};
        const auto serial = textToSerial(text, dateFormat());
        if (!serial)
            conversionError(field, text, FieldKind::Date);
        return QVariant(qlonglong(*serial));
    }
    case FieldKind::Text:
    case FieldKind::Memo:
        return QVariant(external.toString());
    }
    return {};
}

void TableCursor::setBufferValue(int field, const QVariant &internal) {
    if (state_ != State::Edit && state_ != State::Insert)
        throw DatabaseError(Kind::Other, QStringLiteral("%1 is not being edited").arg(tableName_));
    buffer_[field] = internal;
    modified_ = true;
    emit fieldChanged(field);
}

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
    sqlite3 *db = connection_->handle();
    const QString path = connection_->dataSource();
    const int count = rows_.fieldCount();
    QByteArray sql;
    if (insert) {
        QByteArray names, marks;
        for (int f = 0; f < count; ++f) {
            names += (f ? "," : "") + quoted(rows_.field(f).name);
            marks += f ? ",?" : "?";
        }
        sql = "INSERT INTO " + quoted(tableName_) + " (" + names + ") VALUES (" + marks + ")";
    } else {
        // Only the fields that changed: a stored value the program cannot read (a date in
        // another form) stays as it is unless the user replaces it.
        QByteArray sets;
        for (int f : changed)
            sets += (sets.isEmpty() ? "" : ",") + quoted(rows_.field(f).name) + "=?";
        if (sets.isEmpty())
            return oldKey.toLongLong(); // nothing to write
        sql = "UPDATE " + quoted(tableName_) + " SET " + sets + " WHERE " +
              quoted(rows_.field(0).name) + " IS ?";
    }
    connection_->finishBackgroundRead(); // its read lock would hold the write back
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
    const int changesBefore = sqlite3_total_changes(db);
    try {
        statement.step();
        if (!insert && sqlite3_changes(db) == 0)
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
    const qint64 key =
        insert && !values[0].isValid() ? sqlite3_last_insert_rowid(db) : values[0].toLongLong();
    if (!insert && oldKey != values[0])
        recordWrite(oldKey.toLongLong(), changesBefore); // the row left its old key
    recordWrite(key, changesBefore);
    return sqlite3_last_insert_rowid(db);
}

// The row of the copy's `row` key as the file holds it now, read and converted as an opening
// reads it (an unreadable date reads as empty on both sides), must equal the copy's: otherwise
// another program changed it since this cursor read it, and nothing is written.
void TableCursor::requireUnchanged(int row, DatabaseError::Cause whenGone) const {
    if (row < 0 || query_.selectByKey.isEmpty())
        return;
    const QString path = connection_->dataSource();
    engine::Statement select(connection_->handle(), query_.selectByKey, path);
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
void TableCursor::recordWrite(qint64 key, int totalChangesBefore) {
    const bool wide = sqlite3_total_changes(connection_->handle()) - totalChangesBefore > 1;
    connection_->recordChange(Connection::Change{tableName_, key, wide});
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
        engine::Statement statement(connection_->handle(),
                                    "DELETE FROM " + quoted(tableName_) + " WHERE " +
                                        quoted(rows_.field(0).name) + " IS ?",
                                    connection_->dataSource());
        bindValue(statement, 1, 0, rows_.value(row, 0));
        connection_->finishBackgroundRead();
        // Only the row as this program read it is deleted, never one another program changed
        // or put under the same number since.
        try {
            WriteTransaction transaction(connection_->handle(), connection_->dataSource());
            requireUnchanged(row, DatabaseError::Cause::ChangedElsewhere);
            const int changesBefore = sqlite3_total_changes(connection_->handle());
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

// ---- FindRow ------------------------------------------------------------------------------------

// Binary search over the field's sorted order; returns the physical row of the first match.
int TableCursor::findMatch(int field, const QVariant &key, bool partialKey) {
    const FieldKind kind = rows_.field(field).kind;
    const std::vector<uint32_t> &sorted = rows_.sortedRows(field);
    if (kind == FieldKind::Integer || kind == FieldKind::Date) {
        const QVariant wanted = toInternal(field, key);
        if (!wanted.isValid())
            return -1;
        const qint64 value = wanted.toLongLong();
        // Nulls sort first, so skip past them before comparing values.
        auto it = std::partition_point(sorted.begin(), sorted.end(), [&](uint32_t row) {
            return rows_.isNull(int(row), field) || rows_.number(int(row), field) < value;
        });
        if (it == sorted.end() || rows_.number(int(*it), field) != value)
            return -1;
        return int(*it);
    }
    // Texts match without regard to case or to accents that the locale's collation treats as
    // marks on the same letter ("arbol" finds "Árbol"; in Spanish "cana" does not find "caña").
    // The key stripped of such accents sorts first among the texts equal to it but for accents,
    // so a binary search for it lands on the first candidate in ascending order.
    const QString wanted = foldAccents(key.toString());
    const QByteArray wantedUtf8 = wanted.toUtf8();
    const std::string_view wantedBytes(wantedUtf8.constData(), size_t(wantedUtf8.size()));
    auto it = std::partition_point(sorted.begin(), sorted.end(), [&](uint32_t row) {
        return order_->compare(rows_.utf8(int(row), field), wantedBytes) < 0;
    });
    if (it == sorted.end())
        return -1;
    const QString candidate = foldAccents(rows_.text(int(*it), field));
    const bool matches =
        partialKey && !wanted.isEmpty()
            ? collator_.compare(QStringView(candidate).left(wanted.size()), wanted) == 0
            : collator_.compare(candidate, wanted) == 0;
    return matches ? int(*it) : -1;
}

// Replaces each accented letter by its base letter when the collation ranks both as the same
// letter: "cXa" must then sort before "bYb" as it would with the base letter.
QString TableCursor::foldAccents(const QString &text) const {
    QString folded = text.normalized(QString::NormalizationForm_C);
    for (QChar &c : folded) {
        if (c.unicode() < 0xC0 || c.decompositionTag() != QChar::Canonical)
            continue;
        auto cached = foldCache_.constFind(c.unicode());
        if (cached == foldCache_.constEnd()) {
            QChar base = c;
            while (base.decompositionTag() == QChar::Canonical)
                base = base.decomposition().at(0);
            const bool sameLetter =
                collator_.compare(QString(c) + u'a', QString(base) + u'b') < 0 &&
                collator_.compare(QString(base) + u'a', QString(c) + u'b') < 0;
            cached = foldCache_.insert(c.unicode(), sameLetter ? base.unicode() : c.unicode());
        }
        c = QChar(*cached);
    }
    return folded;
}

bool TableCursor::FindRow(const QString &fieldName, const QVariant &key, bool partialKey) {
    requireOpen();
    endPendingEdit();
    int row = -1;
    try {
        const int field = rows_.fieldIndex(fieldName);
        if (field >= 0)
            row = findMatch(field, key, partialKey);
    } catch (const DatabaseError &) {
        return false; // a key that cannot be compared finds nothing
    }
    const int place = visible_.placeOf(row);
    if (place < 0)
        return false;
    current_ = place;
    atEnd_ = false;
    emit recordChanged();
    emit rowFound();
    return true;
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
