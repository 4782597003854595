#include "store/cursor/Snapshot.h"

#include "store/order/TextOrder.h"

#include <algorithm>
#include <numeric>

// The rows in the order of a field, computed on demand and mended as rows change.

namespace store {

namespace {

// The orders kept at once: the one shown and the one searched, or the last two shown.
constexpr size_t kKeptOrders = 2;

int sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace

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
