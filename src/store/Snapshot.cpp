#include "Snapshot.h"

#include "DatabaseError.h"

#include <QCollatorSortKey>
#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace store {

void Snapshot::reset(std::vector<FieldDef> fields) {
    fields_ = std::move(fields);
    columns_.clear();
    columns_.resize(fields_.size());
    rows_ = 0;
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
    return isNumeric(field) ? bool(column.nulls[row]) : column.spans[row].offset == kNullOffset;
}

qint64 Snapshot::number(int row, int field) const {
    const Column &column = columns_[field];
    return column.nulls[row] ? 0 : column.numbers[row];
}

std::string_view Snapshot::utf8(int row, int field) const {
    const Column &column = columns_[field];
    const Span span = column.spans[row];
    if (span.offset == kNullOffset)
        return {};
    return std::string_view(column.bytes.data() + span.offset, span.length);
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

Snapshot::Span Snapshot::storeText(Column &column, const char *utf8, size_t length) {
    const size_t offset = column.bytes.size();
    if (offset + length >= kNullOffset)
        throw DatabaseError(DatabaseError::Kind::Other,
                            QStringLiteral("texts of one field exceed 4 GB"));
    column.bytes.append(utf8, length);
    return Span{uint32_t(offset), uint32_t(length)};
}

void Snapshot::appendNull(int field) {
    Column &column = columns_[field];
    if (isNumeric(field)) {
        column.numbers.push_back(0);
        column.nulls.push_back(true);
    } else {
        column.spans.push_back(Span{kNullOffset, 0});
    }
    if (field + 1 == fieldCount())
        ++rows_;
}

void Snapshot::appendNumber(int field, qint64 value) {
    Column &column = columns_[field];
    column.numbers.push_back(value);
    column.nulls.push_back(false);
    if (field + 1 == fieldCount())
        ++rows_;
}

void Snapshot::appendText(int field, const char *utf8, int length) {
    Column &column = columns_[field];
    column.spans.push_back(storeText(column, utf8, size_t(length)));
    if (field + 1 == fieldCount())
        ++rows_;
}

void Snapshot::finishLoading() {
    for (Column &column : columns_) {
        column.numbers.shrink_to_fit();
        column.spans.shrink_to_fit();
        column.bytes.shrink_to_fit();
    }
}

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

void Snapshot::appendRow(const std::vector<QVariant> &values) {
    for (int f = 0; f < fieldCount(); ++f)
        pushValue(f, f < int(values.size()) ? values[f] : QVariant());
    invalidateOrder();
}

void Snapshot::setValue(int row, int field, const QVariant &value) {
    Column &column = columns_[field];
    if (isNumeric(field)) {
        column.nulls[row] = !value.isValid();
        column.numbers[row] = value.isValid() ? value.toLongLong() : 0;
    } else if (!value.isValid()) {
        column.spans[row] = Span{kNullOffset, 0};
    } else {
        // The old text stays in the buffer unused; edits are few next to the rows read.
        const QByteArray bytes = value.toString().toUtf8();
        column.spans[row] = storeText(column, bytes.constData(), size_t(bytes.size()));
    }
}

void Snapshot::setRow(int row, const std::vector<QVariant> &values) {
    for (int f = 0; f < fieldCount(); ++f)
        setValue(row, f, f < int(values.size()) ? values[f] : QVariant());
    invalidateOrder();
}

void Snapshot::removeRow(int row) {
    for (int f = 0; f < fieldCount(); ++f) {
        Column &column = columns_[f];
        if (isNumeric(f)) {
            column.numbers.erase(column.numbers.begin() + row);
            column.nulls.erase(column.nulls.begin() + row);
        } else {
            column.spans.erase(column.spans.begin() + row);
        }
    }
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

void Snapshot::invalidateOrder() {
    for (Column &column : columns_) {
        column.sorted.clear();
        column.sorted.shrink_to_fit();
    }
}

const std::vector<uint32_t> &Snapshot::sortedRows(int field, const QCollator &collator) {
    Column &column = columns_[field];
    if (column.sorted.size() != size_t(rows_) || rows_ == 0) {
        if (isNumeric(field))
            sortNumbers(field);
        else
            sortTexts(field, collator);
    }
    return column.sorted;
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

// Collation is costly, so each distinct text gets one sort key, the distinct texts are ranked
// once, and the rows are then placed by rank with a counting sort (stable, linear).
void Snapshot::sortTexts(int field, const QCollator &collator) {
    Column &column = columns_[field];
    std::unordered_map<std::string_view, uint32_t> distinctIds;
    distinctIds.reserve(size_t(rows_));
    std::vector<uint32_t> rowDistinct(rows_);
    std::vector<std::string_view> distinct;
    for (int r = 0; r < rows_; ++r) {
        const std::string_view bytes = utf8(r, field); // null reads as the empty text
        auto [it, added] = distinctIds.try_emplace(bytes, uint32_t(distinct.size()));
        if (added)
            distinct.push_back(bytes);
        rowDistinct[r] = it->second;
    }
    distinctIds = {};

    std::vector<QCollatorSortKey> keys;
    keys.reserve(distinct.size());
    for (const std::string_view bytes : distinct)
        keys.push_back(collator.sortKey(QString::fromUtf8(bytes.data(), qsizetype(bytes.size()))));
    std::vector<uint32_t> byKey(distinct.size());
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(),
              [&](uint32_t a, uint32_t b) { return keys[a].compare(keys[b]) < 0; });
    std::vector<uint32_t> rank(distinct.size());
    uint32_t current = 0;
    for (size_t i = 0; i < byKey.size(); ++i) {
        if (i > 0 && keys[byKey[i - 1]].compare(keys[byKey[i]]) != 0)
            ++current;
        rank[byKey[i]] = current;
    }
    keys = {};

    std::vector<uint32_t> start(size_t(current) + 2, 0);
    for (int r = 0; r < rows_; ++r)
        ++start[rank[rowDistinct[r]] + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    column.sorted.resize(rows_);
    for (int r = 0; r < rows_; ++r)
        column.sorted[start[rank[rowDistinct[r]]]++] = uint32_t(r);
}

} // namespace store
