#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace store {

// Where one row's text of a column is: a place in one of the column's text buffers, and its
// length in bytes.
struct TextSpan {
    static constexpr uint32_t kNull = UINT32_MAX; // the offset of a null text
    uint32_t offset;
    uint32_t length;
};

// The spans of one column, row by row. Normally a vector of the column's own, which a snapshot
// loaded later may share (it is copied before an existing entry changes while shared). A column
// whose texts are nearly all another snapshot's (the joined view repeats the programs' texts)
// refers to that snapshot's spans by row instead: four bytes a row rather than eight.
class SpanColumn {
public:
    struct Cell {
        TextSpan span;
        bool lent; // a span of the lender's, whose texts the owner keeps apart
    };

    Cell operator[](size_t row) const {
        if (!refers_)
            return {(*plain_)[row], false};
        const uint32_t ref = refs_[row];
        if (ref == kNullRef)
            return {TextSpan{TextSpan::kNull, 0}, false};
        if (ref & kOwn)
            return {own_[ref & ~kOwn], false};
        return {(*lender_)[ref], true};
    }
    size_t size() const { return refers_ ? refs_.size() : plain_->size(); }

    void reserve(size_t rows) { refers_ ? refs_.reserve(rows) : plain_->reserve(rows); }
    void push_back(TextSpan span) {
        if (refers_)
            refs_.push_back(ownRef(span));
        else
            plain_->push_back(span); // entries already there stay as a sharer saw them
    }
    // Appends the lender's span of that row, by reference. False when this column cannot refer
    // to that lender (it has rows of its own already, or refers to another one).
    bool pushLent(const std::shared_ptr<const std::vector<TextSpan>> &lender, uint32_t row) {
        if (!refers_ && lender && plain_.use_count() == 1) {
            referToOwn(); // the rows so far (nulls, texts of its own) become references too
            lender_ = lender;
        }
        if (!lender_ || lender_ != lender || row >= lender_->size())
            return false;
        refs_.push_back(row);
        return true;
    }
    void set(size_t row, TextSpan span) {
        if (refers_)
            refs_[row] = ownRef(span);
        else
            mutablePlain()[row] = span;
    }
    void insert(size_t row, TextSpan span) {
        if (refers_)
            refs_.insert(refs_.begin() + std::ptrdiff_t(row), ownRef(span));
        else
            mutablePlain().insert(plain_->begin() + std::ptrdiff_t(row), span);
    }
    void erase(size_t row) {
        if (refers_)
            refs_.erase(refs_.begin() + std::ptrdiff_t(row));
        else
            mutablePlain().erase(plain_->begin() + std::ptrdiff_t(row));
    }
    void shrink_to_fit() {
        plain_->shrink_to_fit();
        refs_.shrink_to_fit();
    }
    // The spans for a snapshot that refers to this column; none when this one refers itself.
    std::shared_ptr<const std::vector<TextSpan>> shared() const {
        return refers_ ? nullptr : plain_;
    }

private:
    static constexpr uint32_t kOwn = 1u << 31;
    static constexpr uint32_t kNullRef = UINT32_MAX;

    uint32_t ownRef(TextSpan span) {
        if (span.offset == TextSpan::kNull)
            return kNullRef;
        own_.push_back(span);
        return kOwn | uint32_t(own_.size() - 1);
    }
    void referToOwn() {
        refs_.reserve(plain_->capacity());
        for (const TextSpan &span : *plain_)
            refs_.push_back(ownRef(span));
        *plain_ = {};
        refers_ = true;
    }
    std::vector<TextSpan> &mutablePlain() {
        if (plain_.use_count() > 1)
            plain_ = std::make_shared<std::vector<TextSpan>>(*plain_);
        return *plain_;
    }

    std::shared_ptr<std::vector<TextSpan>> plain_ = std::make_shared<std::vector<TextSpan>>();
    bool refers_ = false;
    std::shared_ptr<const std::vector<TextSpan>> lender_;
    std::vector<uint32_t> refs_;
    std::vector<TextSpan> own_;
};

} // namespace store
