#pragma once

#include <cstdint>
#include <vector>

namespace store {

// The rows a cursor shows, in the order shown, as physical row numbers. All rows in their own
// order (no filter, no order, or an order the rows already have) take no memory; the way back
// from a row to its place is built only when something asks for it.
class VisibleRows {
public:
    void clear() { assignAll(0); }
    void assignAll(int rowCount) {
        identity_ = true;
        count_ = rowCount;
        // Not `= {}`: assigning an empty list keeps a vector's capacity.
        rows_ = std::vector<uint32_t>();
        places_ = std::vector<int32_t>();
    }
    void assign(std::vector<uint32_t> rows, int rowCount) {
        bool inOrder = int(rows.size()) == rowCount;
        for (size_t i = 0; inOrder && i < rows.size(); ++i)
            inOrder = rows[i] == uint32_t(i);
        if (inOrder) {
            assignAll(rowCount);
            return;
        }
        identity_ = false;
        count_ = rowCount;
        rows_ = std::move(rows);
        rows_.shrink_to_fit();
        places_ = std::vector<int32_t>();
    }

    int size() const { return identity_ ? count_ : int(rows_.size()); }
    bool empty() const { return size() == 0; }
    uint32_t operator[](int place) const {
        return identity_ ? uint32_t(place) : rows_[size_t(place)];
    }
    size_t bytes() const {
        return rows_.capacity() * sizeof(uint32_t) + places_.capacity() * sizeof(int32_t);
    }
    // The place of a physical row among the shown ones, or -1 when it is not shown.
    int placeOf(int row) const {
        if (row < 0 || row >= count_)
            return -1;
        if (identity_)
            return row;
        if (places_.empty()) {
            places_.assign(size_t(count_), -1);
            for (size_t i = 0; i < rows_.size(); ++i)
                places_[rows_[i]] = int32_t(i);
        }
        return places_[size_t(row)];
    }

private:
    bool identity_ = true;
    int count_ = 0; // rows of the snapshot
    std::vector<uint32_t> rows_;
    mutable std::vector<int32_t> places_;
};

} // namespace store
