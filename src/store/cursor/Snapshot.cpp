#include "Snapshot.h"

#include "DatabaseError.h"
#include "TextOrder.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace store {

namespace {

// Repeated texts are looked up while at least this share of a column's texts are repeats.
constexpr uint32_t kInternCheckEvery = 4096;
// The orders kept at once: the one shown and the one searched, or the last two shown.
constexpr size_t kKeptOrders = 2;

int sign(int value) {
    return (value > 0) - (value < 0);
}

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

Snapshot::Lender Snapshot::lender() const {
    Lender lender;
    if (loading_ || hiddenKey_ || !keysAscend_)
        return lender;
    lender.fields_ = fields_;
    for (int f = 0; f < fieldCount(); ++f) {
        const bool whole = fields_[f].kind == FieldKind::Integer;
        lender.spans_.push_back(isNumeric(f) ? nullptr : columns_[f].spans.shared());
        lender.read_.push_back(columns_[f].read);
        lender.numbers_.push_back(whole ? columns_[f].numbers.shared() : nullptr);
        lender.nulls_.push_back(whole ? &columns_[f].nulls : nullptr);
    }
    lender.keys_ = &columns_[0].numbers;
    lender.rows_ = rows_;
    return lender;
}

int Snapshot::Lender::fieldIndex(const QString &name) const {
    for (size_t f = 0; f < fields_.size(); ++f)
        if (spans_[f] && read_[f] && fields_[f].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(f);
    return -1;
}

int Snapshot::Lender::numberFieldIndex(const QString &name) const {
    for (size_t f = 0; f < fields_.size(); ++f)
        if (numbers_[f] && fields_[f].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(f);
    return -1;
}

qint64 Snapshot::Lender::number(int row, int field) const {
    const NumberColumn::Storage &values = *numbers_[field];
    return values.wide ? values.wideValues[size_t(row)] : values.narrow[size_t(row)];
}

bool Snapshot::Lender::holds(int row, int field, std::optional<qint64> value) const {
    if ((*nulls_[field])[size_t(row)])
        return !value;
    return value && *value == number(row, field);
}

int Snapshot::Lender::rowOfKey(qint64 key, int from) const {
    int low = std::max(from, 0), high = rows_;
    // Rows of both are usually in the same order: the next one is the likely match.
    if (low < high && (*keys_)[size_t(low)] == key)
        return low;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if ((*keys_)[size_t(middle)] < key)
            low = middle + 1;
        else
            high = middle;
    }
    return low < rows_ && (*keys_)[size_t(low)] == key ? low : -1;
}

bool Snapshot::Lender::isNull(int row, int field) const {
    return (*spans_[field])[size_t(row)].offset == kNullOffset;
}

std::string_view Snapshot::Lender::utf8(int row, int field) const {
    const Span span = (*spans_[field])[size_t(row)];
    if (span.offset == kNullOffset)
        return {};
    return read_[field]->at(span.offset & kOffsetMask, span.length);
}

void Snapshot::appendLentNumber(int field, const Lender &lender, int lenderRow, int lenderField) {
    Column &column = columns_[field];
    const bool null = (*lender.nulls_[lenderField])[size_t(lenderRow)];
    if (!column.numbers.pushLent(lender.numbers_[lenderField], size_t(lenderRow)))
        column.numbers.push_back(null ? 0 : lender.number(lenderRow, lenderField));
    column.nulls.push_back(null);
    rowsComplete(field);
}

void Snapshot::appendLentKey(const Lender &lender, int lenderRow) {
    if (!keys_.pushLent(lender.numbers_[0], size_t(lenderRow)))
        keys_.push_back((*lender.keys_)[size_t(lenderRow)]);
    ++rows_;
}

void Snapshot::appendLentText(int field, const Lender &lender, int lenderRow, int lenderField) {
    Column &column = columns_[field];
    const Span span = (*lender.spans_[lenderField])[size_t(lenderRow)];
    const std::shared_ptr<const TextBuffer> &source = lender.read_[lenderField];
    if (span.offset == kNullOffset) {
        // Null in both: referring to it keeps a column of references row for row.
        if ((!column.lent || column.lent == source) &&
            column.spans.pushLent(lender.spans_[lenderField], uint32_t(lenderRow))) {
            column.lent = source;
            rowsComplete(field);
        } else {
            appendNull(field);
        }
    } else if (span.offset >> kOffsetBits == Read && (!column.lent || column.lent == source) &&
               column.spans.pushLent(lender.spans_[lenderField], uint32_t(lenderRow))) {
        column.lent = source;
        rowsComplete(field);
    } else if (span.offset >> kOffsetBits == Read && (!column.lent || column.lent == source)) {
        column.lent = source; // a column that has rows of its own takes the span itself
        column.spans.push_back(
            Span{(span.offset & kOffsetMask) | Lent << kOffsetBits, span.length});
        rowsComplete(field);
    } else {
        const std::string_view text = lender.utf8(lenderRow, lenderField);
        appendText(field, text.data(), int(text.size()));
    }
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

// ---- Orders -------------------------------------------------------------------------------------

void Snapshot::invalidateOrder() {
    for (Column &column : columns_) {
        column.sorted.clear();
        column.sorted.shrink_to_fit();
    }
}

bool Snapshot::hasSortedRows(int field) const {
    return rows_ > 0 && columns_[field].sorted.size() == size_t(rows_);
}

const std::vector<uint32_t> &Snapshot::sortedRows(int field) {
    Column &column = columns_[field];
    column.sortedUse = ++sortUses_;
    if (!hasSortedRows(field)) {
        // Only the orders used last are kept: each takes four bytes a row, and every change
        // mends each one kept. The oldest goes before sorting, so it never takes room beside
        // the new one's keys; going back to it sorts again.
        std::vector<Column *> kept;
        for (Column &other : columns_)
            if (&other != &column && !other.sorted.empty())
                kept.push_back(&other);
        if (kept.size() >= kKeptOrders) {
            std::sort(kept.begin(), kept.end(),
                      [](const Column *a, const Column *b) { return a->sortedUse > b->sortedUse; });
            for (size_t i = kKeptOrders - 1; i < kept.size(); ++i)
                kept[i]->sorted = std::vector<uint32_t>(); // `= {}` keeps the capacity
        }
        if (isNumeric(field))
            sortNumbers(field);
        else
            sortTexts(field);
    }
    return column.sorted;
}

int Snapshot::compareValues(int field, int a, int b) const {
    if (isNumeric(field)) {
        const Column &column = columns_[field];
        const bool nullA = column.nulls[a], nullB = column.nulls[b];
        if (nullA || nullB)
            return int(nullB) - int(nullA);
        return (column.numbers[a] > column.numbers[b]) - (column.numbers[a] < column.numbers[b]);
    }
    // A null text sorts as the empty text.
    const std::string_view textA = utf8(a, field), textB = utf8(b, field);
    return order_ ? sign(order_->compare(textA, textB)) : sign(textA.compare(textB));
}

void Snapshot::sortNumbers(int field) {
    Column &column = columns_[field];
    column.sorted.resize(rows_);
    std::iota(column.sorted.begin(), column.sorted.end(), 0u);
    std::stable_sort(column.sorted.begin(), column.sorted.end(), [&](uint32_t a, uint32_t b) {
        const bool nullA = column.nulls[a], nullB = column.nulls[b];
        if (nullA != nullB)
            return nullA;
        return !nullA && column.numbers[a] < column.numbers[b];
    });
}

void Snapshot::sortTexts(int field) {
    Column &column = columns_[field];
    auto text = [this, field](uint32_t row) { return utf8(int(row), field); };
    if (order_) {
        column.sorted = order_->sortRows(uint32_t(rows_), text);
        return;
    }
    column.sorted.resize(rows_);
    std::iota(column.sorted.begin(), column.sorted.end(), 0u);
    std::stable_sort(column.sorted.begin(), column.sorted.end(),
                     [&](uint32_t a, uint32_t b) { return text(a) < text(b); });
}

// Puts the changed rows where they now belong in the field's order, if it has been computed:
// they are taken out, sorted among themselves, and each placed by a binary search, so only
// changed rows are compared. The order may lack them (rows just added).
void Snapshot::reorder(int field, const std::vector<uint32_t> &changed) {
    Column &column = columns_[field];
    if (column.sorted.empty() || changed.empty())
        return;
    if (column.sorted.size() + changed.size() < size_t(rows_)) {
        column.sorted = std::vector<uint32_t>(); // cannot be mended: computed again when needed
        return;
    }
    std::vector<bool> isChanged(size_t(rows_), false);
    for (uint32_t row : changed)
        isChanged[row] = true;
    auto before = [&](uint32_t a, uint32_t b) {
        const int order = compareValues(field, int(a), int(b));
        return order < 0 || (order == 0 && a < b);
    };
    std::vector<uint32_t> kept;
    kept.reserve(size_t(rows_));
    for (uint32_t row : column.sorted)
        if (row < uint32_t(rows_) && !isChanged[row])
            kept.push_back(row);
    std::vector<uint32_t> moving(changed);
    std::sort(moving.begin(), moving.end());
    moving.erase(std::unique(moving.begin(), moving.end()), moving.end());
    std::sort(moving.begin(), moving.end(), before);
    std::vector<uint32_t> merged;
    merged.reserve(size_t(rows_));
    auto from = kept.begin();
    for (uint32_t row : moving) {
        auto at =
            std::partition_point(from, kept.end(), [&](uint32_t k) { return before(k, row); });
        merged.insert(merged.end(), from, at);
        merged.push_back(row);
        from = at;
    }
    merged.insert(merged.end(), from, kept.end());
    column.sorted = std::move(merged);
}

} // namespace store
