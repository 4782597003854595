#pragma once

#include <QtGlobal>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace store {

// Whole numbers of one column: four bytes each while every value fits (program and CD numbers,
// years), eight from the first one that does not.
//
// A snapshot loaded later may share the values (the joined view repeats the programs' numbers
// row for row): it then holds the same storage and counts the rows it shares. Whichever side
// changes a value while both hold it copies the storage first.
class NumberColumn {
public:
    struct Storage {
        bool wide = false;
        std::vector<int32_t> narrow;
        std::vector<qint64> wideValues;
        size_t size() const { return wide ? wideValues.size() : narrow.size(); }
    };

    qint64 operator[](size_t i) const {
        const Storage &values = *storage_;
        return values.wide ? values.wideValues[i] : values.narrow[i];
    }
    size_t size() const { return size_; }

    void reserve(size_t count) {
        Storage &values = own();
        values.wide ? values.wideValues.reserve(count) : values.narrow.reserve(count);
    }
    void push_back(qint64 value) {
        Storage &values = own();
        widenFor(values, value);
        values.wide ? values.wideValues.push_back(value) : values.narrow.push_back(int32_t(value));
        ++size_;
    }
    void set(size_t i, qint64 value) {
        Storage &values = own();
        widenFor(values, value);
        values.wide ? void(values.wideValues[i] = value) : void(values.narrow[i] = int32_t(value));
    }
    void insert(size_t i, qint64 value) {
        Storage &values = own();
        widenFor(values, value);
        if (values.wide)
            values.wideValues.insert(values.wideValues.begin() + qsizetype(i), value);
        else
            values.narrow.insert(values.narrow.begin() + qsizetype(i), int32_t(value));
        ++size_;
    }
    void erase(size_t i) {
        Storage &values = own();
        if (values.wide)
            values.wideValues.erase(values.wideValues.begin() + qsizetype(i));
        else
            values.narrow.erase(values.narrow.begin() + qsizetype(i));
        --size_;
    }
    void shrink_to_fit() {
        if (borrowed_)
            return;
        storage_->narrow.shrink_to_fit();
        storage_->wideValues.shrink_to_fit();
    }
    // What this column holds of its own (values shared from a lender are the lender's).
    size_t bytes() const {
        return borrowed_ && storage_.use_count() > 1
                   ? 0
                   : storage_->narrow.capacity() * sizeof(int32_t) +
                         storage_->wideValues.capacity() * sizeof(qint64);
    }

    // The values, for a snapshot loaded later to share.
    std::shared_ptr<const Storage> shared() const { return storage_; }
    // Appends the lender's value of that row by sharing its storage: true while every row of
    // this column so far is the lender's row of the same number. The caller has checked that
    // the value is the one wanted.
    bool pushLent(const std::shared_ptr<const Storage> &lender, size_t row) {
        if (!lender || row != size_ || row >= lender->size())
            return false;
        if (size_ == 0) {
            storage_ = std::const_pointer_cast<Storage>(lender);
            borrowed_ = true;
        } else if (storage_ != lender) {
            return false;
        }
        ++size_;
        return true;
    }

private:
    // The storage to change: a copy of the rows this column has when another holds it too.
    Storage &own() {
        if (storage_.use_count() == 1 && storage_->size() != size_) {
            // A lender's rows after those shared, left when the lender let go of them.
            storage_->narrow.resize(storage_->wide ? 0 : size_);
            storage_->wideValues.resize(storage_->wide ? size_ : 0);
        } else if (storage_.use_count() > 1) {
            auto copy = std::make_shared<Storage>();
            copy->wide = storage_->wide;
            if (copy->wide)
                copy->wideValues.assign(storage_->wideValues.begin(),
                                        storage_->wideValues.begin() + qsizetype(size_));
            else
                copy->narrow.assign(storage_->narrow.begin(),
                                    storage_->narrow.begin() + qsizetype(size_));
            storage_ = std::move(copy);
        }
        borrowed_ = false;
        return *storage_;
    }
    static void widenFor(Storage &values, qint64 value) {
        if (values.wide || (value >= std::numeric_limits<int32_t>::min() &&
                            value <= std::numeric_limits<int32_t>::max()))
            return;
        values.wideValues.assign(values.narrow.begin(), values.narrow.end());
        values.narrow = std::vector<int32_t>(); // `= {}` would keep the capacity
        values.wide = true;
    }

    std::shared_ptr<Storage> storage_ = std::make_shared<Storage>();
    size_t size_ = 0;
    bool borrowed_ = false; // the storage is a lender's, shared while loading
};

} // namespace store
