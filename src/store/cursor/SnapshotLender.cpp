#include "store/cursor/Snapshot.h"

#include <algorithm>

// Texts and numbers shared, row for row, with a snapshot loaded after this one.

namespace store {

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

} // namespace store
