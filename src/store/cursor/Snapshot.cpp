#include "store/cursor/Snapshot.h"

#include "store/engine/DatabaseError.h"

#include <algorithm>
#include <utility>

namespace store {

namespace {

// Repeated texts are looked up while at least this share of a column's texts are repeats.
constexpr uint32_t kInternCheckEvery = 4096;

} // namespace

Snapshot::Snapshot() = default;
Snapshot::~Snapshot() = default;
Snapshot::Snapshot(Snapshot &&) noexcept = default;
Snapshot &Snapshot::operator=(Snapshot &&) noexcept = default;

void Snapshot::reset(std::vector<FieldDef> fields, bool hiddenKey) {
    fields_ = std::move(fields);
    columns_.clear();
    columns_.resize(fields_.size());
    for (size_t f = 0; f < fields_.size(); ++f)
        if (!isNumeric(int(f)))
            columns_[f].interned = std::make_unique<InternTable>();
    keys_ = NumberColumn();
    hiddenKey_ = hiddenKey;
    keysAscend_ = false;
    rows_ = 0;
    loading_ = true;
}

void Snapshot::reserve(int rows) {
    for (int f = 0; f < fieldCount(); ++f) {
        Column &column = columns_[f];
        if (isNumeric(f)) {
            column.numbers.reserve(size_t(rows));
            column.nulls.reserve(size_t(rows));
        } else {
            column.spans.reserve(size_t(rows));
        }
    }
    if (hiddenKey_)
        keys_.reserve(size_t(rows));
}

void Snapshot::setTextOrder(std::shared_ptr<const TextOrder> order) {
    order_ = std::move(order);
    invalidateOrder();
}

int Snapshot::fieldIndex(const QString &name) const {
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

bool Snapshot::isNumeric(int field) const {
    const FieldKind kind = fields_[field].kind;
    return kind == FieldKind::Integer || kind == FieldKind::Date;
}

bool Snapshot::isNull(int row, int field) const {
    const Column &column = columns_[field];
    return isNumeric(field) ? bool(column.nulls[row])
                            : column.spans[size_t(row)].span.offset == kNullOffset;
}

qint64 Snapshot::number(int row, int field) const {
    const Column &column = columns_[field];
    return column.nulls[row] ? 0 : column.numbers[row];
}

std::string_view Snapshot::utf8(int row, int field) const {
    const Column &column = columns_[field];
    const auto [span, lent] = column.spans[size_t(row)];
    const uint32_t place = span.offset & kOffsetMask;
    if (lent && span.offset != kNullOffset)
        return column.lent->at(place, span.length);
    switch (span.offset >> kOffsetBits) {
    case Read:
        return (column.read ? *column.read : column.bytes).at(place, span.length);
    case Written:
        return column.written.at(place, span.length);
    case Lent:
        return column.lent->at(place, span.length);
    default:
        return {};
    }
}

QString Snapshot::text(int row, int field) const {
    const std::string_view bytes = utf8(row, field);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QVariant Snapshot::value(int row, int field) const {
    if (isNull(row, field))
        return {};
    if (isNumeric(field))
        return QVariant(qlonglong(columns_[field].numbers[row]));
    return QVariant(text(row, field));
}

std::vector<QVariant> Snapshot::rowValues(int row) const {
    std::vector<QVariant> values(fields_.size());
    for (int f = 0; f < fieldCount(); ++f)
        values[f] = value(row, f);
    return values;
}

// ---- Keys ---------------------------------------------------------------------------------------

size_t Snapshot::bytes() const {
    size_t total = keys_.bytes();
    for (const Column &column : columns_)
        total += column.numbers.bytes() + column.nulls.capacity() / 8 + column.spans.bytes() +
                 column.bytes.bytes() + (column.read ? column.read->bytes() : 0) +
                 column.written.bytes() + column.sorted.capacity() * sizeof(uint32_t);
    return total;
}

bool Snapshot::hasKeys() const {
    return keysAscend_;
}

qint64 Snapshot::key(int row) const {
    return hiddenKey_ ? keys_[row] : number(row, 0);
}

int Snapshot::rowOfKey(qint64 wanted) const {
    if (!keysAscend_)
        return -1;
    int low = 0, high = rows_;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (key(middle) < wanted)
            low = middle + 1;
        else
            high = middle;
    }
    return low < rows_ && key(low) == wanted ? low : -1;
}

void Snapshot::checkKeys() {
    keysAscend_ = !fields_.empty() && (hiddenKey_ || fields_[0].kind == FieldKind::Integer);
    for (int r = 0; keysAscend_ && r < rows_; ++r)
        keysAscend_ = (hiddenKey_ || !isNull(r, 0)) && (r == 0 || key(r - 1) < key(r));
}

// ---- Loading ------------------------------------------------------------------------------------

Snapshot::Span Snapshot::storeText(Column &column, const char *utf8, size_t length) {
    const uint32_t place = (loading_ ? column.bytes : column.written).append(utf8, length);
    if (place == UINT32_MAX || length > UINT32_MAX)
        throw DatabaseError(DatabaseError::Kind::Other,
                            QStringLiteral("texts of one field exceed 1 GB"));
    return Span{place | (loading_ ? Read : Written) << kOffsetBits, uint32_t(length)};
}

Snapshot::Span Snapshot::storeWritten(Column &column, const QVariant &value) {
    if (!value.isValid())
        return Span{kNullOffset, 0};
    const QByteArray bytes = value.toString().toUtf8();
    const bool wasLoading = std::exchange(loading_, false);
    const Span span = storeText(column, bytes.constData(), size_t(bytes.size()));
    loading_ = wasLoading;
    return span;
}

// A text equal to one stored already shares it; any other goes at the end of the buffer.
Snapshot::Span Snapshot::internText(Column &column, const char *utf8, size_t length) {
    if (!column.interned || !loading_)
        return storeText(column, utf8, length);
    const size_t seen = column.spans.size() + 1;
    if (seen % kInternCheckEvery == 0) {
        if (column.internedHits < seen / 2) {
            column.interned.reset(); // mostly distinct: looking them up costs more than it saves
            return storeText(column, utf8, length);
        }
        column.spans.compact(); // two bytes a row from here, before the spans grow
    }
    if (const Span *found = column.interned->find(std::string_view(utf8, length), column.bytes)) {
        ++column.internedHits;
        return *found;
    }
    const Span span = storeText(column, utf8, length);
    column.interned->add(span);
    return span;
}

bool Snapshot::rowsComplete(int field) {
    if (field + 1 == fieldCount() && !hiddenKey_) {
        ++rows_;
        return true;
    }
    return false;
}

void Snapshot::appendNull(int field) {
    Column &column = columns_[field];
    if (isNumeric(field)) {
        column.numbers.push_back(0);
        column.nulls.push_back(true);
    } else {
        column.spans.push_back(Span{kNullOffset, 0});
    }
    rowsComplete(field);
}

void Snapshot::appendNumber(int field, qint64 value) {
    Column &column = columns_[field];
    column.numbers.push_back(value);
    column.nulls.push_back(false);
    rowsComplete(field);
}

void Snapshot::appendText(int field, const char *utf8, int length) {
    Column &column = columns_[field];
    column.spans.push_back(internText(column, utf8, size_t(length)));
    rowsComplete(field);
}

void Snapshot::appendKey(qint64 key) {
    keys_.push_back(key);
    ++rows_;
}

void Snapshot::finishLoading() {
    for (Column &column : columns_) {
        if (column.interned) // still interning at the end: few distinct texts
            column.spans.compact();
        column.interned.reset();
        column.numbers.shrink_to_fit();
        column.spans.shrink_to_fit();
        column.read = std::make_shared<const TextBuffer>(std::move(column.bytes));
        column.bytes = TextBuffer();
    }
    keys_.shrink_to_fit();
    loading_ = false;
    checkKeys();
}

// ---- Changes ------------------------------------------------------------------------------------

void Snapshot::pushValue(int field, const QVariant &value) {
    if (!value.isValid()) {
        appendNull(field);
    } else if (isNumeric(field)) {
        appendNumber(field, value.toLongLong());
    } else {
        const QByteArray bytes = value.toString().toUtf8();
        appendText(field, bytes.constData(), int(bytes.size()));
    }
}

void Snapshot::appendRow(const std::vector<QVariant> &values, qint64 hiddenKey) {
    const bool ascended = keysAscend_ || rows_ == 0;
    for (int f = 0; f < fieldCount(); ++f)
        pushValue(f, f < int(values.size()) ? values[f] : QVariant());
    if (hiddenKey_)
        appendKey(hiddenKey);
    const int row = rows_ - 1;
    keysAscend_ =
        ascended && (hiddenKey_ || !isNull(row, 0)) && (row == 0 || key(row - 1) < key(row));
    for (int f = 0; f < fieldCount(); ++f)
        reorder(f, {uint32_t(row)});
}

void Snapshot::insertRow(int row, const std::vector<QVariant> &values, qint64 hiddenKey) {
    if (row >= rows_) {
        appendRow(values, hiddenKey);
        return;
    }
    for (int f = 0; f < fieldCount(); ++f) {
        Column &column = columns_[f];
        const QVariant value = f < int(values.size()) ? values[f] : QVariant();
        if (isNumeric(f)) {
            column.numbers.insert(size_t(row), value.isValid() ? value.toLongLong() : 0);
            column.nulls.insert(column.nulls.begin() + row, !value.isValid());
        } else {
            column.spans.insert(size_t(row), storeWritten(column, value));
        }
        for (uint32_t &entry : column.sorted)
            if (entry >= uint32_t(row))
                ++entry;
    }
    if (hiddenKey_)
        keys_.insert(size_t(row), hiddenKey);
    ++rows_;
    if (keysAscend_)
        keysAscend_ = (hiddenKey_ || !isNull(row, 0)) && (row == 0 || key(row - 1) < key(row)) &&
                      key(row) < key(row + 1);
    for (int f = 0; f < fieldCount(); ++f)
        reorder(f, {uint32_t(row)});
}

bool Snapshot::valuesEqual(int field, int row, const QVariant &value) const {
    if (isNull(row, field) || !value.isValid())
        return isNull(row, field) == !value.isValid();
    if (isNumeric(field))
        return number(row, field) == value.toLongLong();
    const QByteArray bytes = value.toString().toUtf8();
    return utf8(row, field) == std::string_view(bytes.constData(), size_t(bytes.size()));
}

void Snapshot::setValue(int row, int field, const QVariant &value) {
    Column &column = columns_[field];
    if (isNumeric(field)) {
        column.nulls[row] = !value.isValid();
        column.numbers.set(size_t(row), value.isValid() ? value.toLongLong() : 0);
    } else {
        // The old text stays in its buffer unused; edits are few next to the rows read.
        column.spans.set(size_t(row), storeWritten(column, value));
    }
}

void Snapshot::setRow(int row, const std::vector<QVariant> &values) {
    setRows({{row, values}});
}

void Snapshot::setRows(const std::vector<std::pair<int, std::vector<QVariant>>> &rows) {
    std::vector<std::vector<uint32_t>> changed(fields_.size());
    bool keyChanged = false;
    for (const auto &[row, values] : rows) {
        for (int f = 0; f < fieldCount(); ++f) {
            const QVariant value = f < int(values.size()) ? values[f] : QVariant();
            if (valuesEqual(f, row, value))
                continue;
            setValue(row, f, value);
            changed[f].push_back(uint32_t(row));
            keyChanged = keyChanged || (f == 0 && !hiddenKey_);
        }
    }
    if (keyChanged)
        checkKeys();
    for (int f = 0; f < fieldCount(); ++f)
        if (!changed[f].empty())
            reorder(f, changed[f]);
}

void Snapshot::removeRow(int row) {
    for (int f = 0; f < fieldCount(); ++f) {
        Column &column = columns_[f];
        if (isNumeric(f)) {
            column.numbers.erase(size_t(row));
            column.nulls.erase(column.nulls.begin() + row);
        } else {
            column.spans.erase(size_t(row));
        }
    }
    if (hiddenKey_)
        keys_.erase(size_t(row));
    // Sorted orders stay valid without the row; only the later row numbers shift down.
    for (Column &column : columns_) {
        if (column.sorted.size() != size_t(rows_))
            continue;
        column.sorted.erase(std::find(column.sorted.begin(), column.sorted.end(), uint32_t(row)));
        for (uint32_t &entry : column.sorted)
            if (entry > uint32_t(row))
                --entry;
    }
    --rows_;
}

} // namespace store
