#pragma once

#include <QtGlobal>
#include <cstdint>
#include <limits>
#include <vector>

namespace store {

// Whole numbers of one column: four bytes each while every value fits (program and CD numbers,
// years), eight from the first one that does not.
class NumberColumn {
public:
    qint64 operator[](size_t i) const { return wide_ ? wideValues_[i] : narrowValues_[i]; }
    size_t size() const { return wide_ ? wideValues_.size() : narrowValues_.size(); }

    void reserve(size_t count) {
        wide_ ? wideValues_.reserve(count) : narrowValues_.reserve(count);
    }
    void push_back(qint64 value) {
        widenFor(value);
        wide_ ? wideValues_.push_back(value) : narrowValues_.push_back(int32_t(value));
    }
    void set(size_t i, qint64 value) {
        widenFor(value);
        wide_ ? void(wideValues_[i] = value) : void(narrowValues_[i] = int32_t(value));
    }
    void insert(size_t i, qint64 value) {
        widenFor(value);
        if (wide_)
            wideValues_.insert(wideValues_.begin() + qsizetype(i), value);
        else
            narrowValues_.insert(narrowValues_.begin() + qsizetype(i), int32_t(value));
    }
    void erase(size_t i) {
        if (wide_)
            wideValues_.erase(wideValues_.begin() + qsizetype(i));
        else
            narrowValues_.erase(narrowValues_.begin() + qsizetype(i));
    }
    void shrink_to_fit() {
        narrowValues_.shrink_to_fit();
        wideValues_.shrink_to_fit();
    }
    size_t bytes() const {
        return narrowValues_.capacity() * sizeof(int32_t) + wideValues_.capacity() * sizeof(qint64);
    }

private:
    void widenFor(qint64 value) {
        if (wide_ || (value >= std::numeric_limits<int32_t>::min() &&
                      value <= std::numeric_limits<int32_t>::max()))
            return;
        wideValues_.assign(narrowValues_.begin(), narrowValues_.end());
        narrowValues_ = std::vector<int32_t>(); // `= {}` would keep the capacity
        wide_ = true;
    }

    bool wide_ = false;
    std::vector<int32_t> narrowValues_;
    std::vector<qint64> wideValues_;
};

} // namespace store
