#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace store {

// Where one row's text of a column is: a place in one of the column's text buffers, and its
// length in bytes.
struct TextSpan {
    static constexpr uint32_t kNull = UINT32_MAX; // the offset of a null text
    uint32_t offset;
    uint32_t length;
};

// The spans of one column, row by row: eight bytes a row, or, once compacted, two bytes a row
// into the table of its distinct spans, for a column of a few thousand distinct texts stored
// once each (a licence, a publisher, a CD's description). A span not in the table makes it
// plain again.
class SpanStore {
public:
    TextSpan operator[](size_t row) const { return coded_ ? distinct_[codes_[row]] : spans_[row]; }
    size_t size() const { return coded_ ? codes_.size() : spans_.size(); }
    bool empty() const { return size() == 0; }
    size_t capacity() const { return coded_ ? codes_.capacity() : spans_.capacity(); }
    size_t bytes() const {
        return spans_.capacity() * sizeof(TextSpan) + codes_.capacity() * sizeof(uint16_t) +
               distinct_.capacity() * sizeof(TextSpan) +
               slots_.capacity() * (sizeof(uint64_t) + sizeof(uint16_t));
    }

    void reserve(size_t rows) { coded_ ? codes_.reserve(rows) : spans_.reserve(rows); }
    void push_back(TextSpan span) {
        if (coded_ && codeFor(span))
            codes_.push_back(code_);
        else
            spans_.push_back(span);
    }
    void set(size_t row, TextSpan span) {
        if (coded_ && codeFor(span))
            codes_[row] = code_;
        else
            spans_[row] = span;
    }
    void insert(size_t row, TextSpan span) {
        if (coded_ && codeFor(span))
            codes_.insert(codes_.begin() + std::ptrdiff_t(row), code_);
        else
            spans_.insert(spans_.begin() + std::ptrdiff_t(row), span);
    }
    void erase(size_t row) {
        if (coded_)
            codes_.erase(codes_.begin() + std::ptrdiff_t(row));
        else
            spans_.erase(spans_.begin() + std::ptrdiff_t(row));
    }
    void shrink_to_fit() {
        spans_.shrink_to_fit();
        codes_.shrink_to_fit();
    }

    // Two bytes a row from here on, when the rows hold few distinct spans.
    void compact() {
        if (coded_)
            return;
        std::vector<uint16_t> codes;
        codes.reserve(spans_.capacity());
        for (const TextSpan &span : spans_) {
            if (!codeFor(span)) {
                forget();
                return;
            }
            codes.push_back(code_);
        }
        codes_ = std::move(codes);
        spans_ = std::vector<TextSpan>(); // `= {}` would keep the capacity
        coded_ = true;
    }

private:
    static constexpr size_t kCodes = 65536;
    static constexpr uint64_t kFree = UINT64_MAX; // no span has all ones in both halves
    static uint64_t key(TextSpan span) { return uint64_t(span.offset) << 32 | span.length; }

    // The span's code in code_, added to the table when new and there is room. Looked up for
    // every row a coded column gets, hence the flat table and the last span remembered.
    bool codeFor(TextSpan span) {
        const uint64_t wanted = key(span);
        if (wanted == lastKey_)
            return true;
        if (2 * (distinct_.size() + 1) > slots_.size())
            grow();
        const size_t mask = slots_.size() - 1;
        size_t slot = size_t((wanted * 0x9E3779B97F4A7C15ull) >> 32) & mask;
        while (slots_[slot] != kFree && slots_[slot] != wanted)
            slot = (slot + 1) & mask;
        if (slots_[slot] == kFree) {
            if (distinct_.size() == kCodes) {
                if (coded_)
                    expand();
                return false;
            }
            slots_[slot] = wanted;
            slotCodes_[slot] = uint16_t(distinct_.size());
            distinct_.push_back(span);
        }
        lastKey_ = wanted;
        code_ = slotCodes_[slot];
        return true;
    }
    void grow() {
        const std::vector<uint64_t> old = std::move(slots_);
        const std::vector<uint16_t> oldCodes = std::move(slotCodes_);
        slots_.assign(std::max<size_t>(64, 2 * old.size()), kFree);
        slotCodes_.assign(slots_.size(), 0);
        const size_t mask = slots_.size() - 1;
        for (size_t i = 0; i < old.size(); ++i) {
            if (old[i] == kFree)
                continue;
            size_t slot = size_t((old[i] * 0x9E3779B97F4A7C15ull) >> 32) & mask;
            while (slots_[slot] != kFree)
                slot = (slot + 1) & mask;
            slots_[slot] = old[i];
            slotCodes_[slot] = oldCodes[i];
        }
    }
    void forget() {
        distinct_ = std::vector<TextSpan>();
        slots_ = std::vector<uint64_t>();
        slotCodes_ = std::vector<uint16_t>();
        lastKey_ = kFree;
    }
    void expand() {
        spans_.reserve(codes_.capacity());
        for (const uint16_t code : codes_)
            spans_.push_back(distinct_[code]);
        codes_ = std::vector<uint16_t>();
        forget();
        coded_ = false;
    }

    bool coded_ = false;
    std::vector<TextSpan> spans_;
    std::vector<uint16_t> codes_;
    std::vector<TextSpan> distinct_;
    std::vector<uint64_t> slots_; // the distinct spans' keys, kFree where none
    std::vector<uint16_t> slotCodes_;
    uint64_t lastKey_ = kFree;
    uint16_t code_ = 0;
};

} // namespace store
