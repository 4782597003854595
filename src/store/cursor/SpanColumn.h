#pragma once

#include "store/cursor/SpanStore.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace store {

// The spans of one column, row by row. Normally a vector of the column's own, which a snapshot
// loaded later may share (it is copied before an existing entry changes while shared). A column
// whose texts are nearly all another snapshot's (the joined view repeats the programs' texts)
// refers to that snapshot's spans by row instead: four bytes a row rather than eight, and none
// while each row refers to the lender's row of the same number (the joined view read beside the
// programs it joins, row for row).
class SpanColumn {
public:
    struct Cell {
        TextSpan span;
        bool lent; // a span of the lender's, whose texts the owner keeps apart
    };

    Cell operator[](size_t row) const {
        if (!refers_)
            return {(*plain_)[row], false};
        if (identity_)
            return {(*lender_)[row], true};
        const uint32_t ref = refs_[row];
        if (ref == kNullRef)
            return {TextSpan{TextSpan::kNull, 0}, false};
        if (ref & kOwn)
            return {own_[ref & ~kOwn], false};
        return {(*lender_)[ref], true};
    }
    size_t size() const {
        return refers_ ? (identity_ ? identityRows_ : refs_.size()) : plain_->size();
    }

    void reserve(size_t rows) {
        if (!refers_)
            plain_->reserve(rows);
        else if (!identity_)
            refs_.reserve(rows);
    }
    void push_back(TextSpan span) {
        if (refers_)
            materialized().push_back(ownRef(span));
        else
            plain_->push_back(span); // entries already there stay as a sharer saw them
    }
    // Appends the lender's span of that row, by reference. False when this column cannot refer
    // to that lender (it has rows of its own already, or refers to another one).
    bool pushLent(const std::shared_ptr<const SpanStore> &lender, uint32_t row) {
        if (!refers_ && lender && plain_.use_count() == 1) {
            identity_ = plain_->empty();
            referToOwn(); // the rows so far (nulls, texts of its own) become references too
            lender_ = lender;
        }
        if (!lender_ || lender_ != lender || row >= lender_->size())
            return false;
        if (identity_ && row == identityRows_) {
            ++identityRows_;
            return true;
        }
        materialized().push_back(row);
        return true;
    }
    void set(size_t row, TextSpan span) {
        if (refers_)
            materialized()[row] = ownRef(span);
        else
            mutablePlain().set(row, span);
    }
    void insert(size_t row, TextSpan span) {
        if (refers_)
            materialized().insert(refs_.begin() + std::ptrdiff_t(row), ownRef(span));
        else
            mutablePlain().insert(row, span);
    }
    void erase(size_t row) {
        if (refers_)
            materialized().erase(refs_.begin() + std::ptrdiff_t(row));
        else
            mutablePlain().erase(row);
    }
    // Two bytes a row for a column of few distinct texts, each stored once.
    void compact() {
        if (!refers_)
            mutablePlain().compact();
    }
    void shrink_to_fit() {
        plain_->shrink_to_fit();
        refs_.shrink_to_fit();
    }
    // What this column holds of its own (a lender's spans are the lender's).
    size_t bytes() const {
        return (refers_ ? 0 : plain_->bytes()) + refs_.capacity() * sizeof(uint32_t) +
               own_.capacity() * sizeof(TextSpan);
    }
    // The spans for a snapshot that refers to this column; none when this one refers itself.
    std::shared_ptr<const SpanStore> shared() const { return refers_ ? nullptr : plain_; }

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
        if (!identity_)
            refs_.reserve(plain_->capacity());
        for (size_t row = 0; row < plain_->size(); ++row)
            refs_.push_back(ownRef((*plain_)[row]));
        *plain_ = SpanStore();
        refers_ = true;
    }
    // The references row by row, written out the first time a row stops matching its number.
    std::vector<uint32_t> &materialized() {
        if (identity_) {
            refs_.resize(identityRows_);
            for (size_t row = 0; row < identityRows_; ++row)
                refs_[row] = uint32_t(row);
            identity_ = false;
        }
        return refs_;
    }
    SpanStore &mutablePlain() {
        if (plain_.use_count() > 1)
            plain_ = std::make_shared<SpanStore>(*plain_);
        return *plain_;
    }

    std::shared_ptr<SpanStore> plain_ = std::make_shared<SpanStore>();
    bool refers_ = false;
    bool identity_ = false; // refers_, and row r is the lender's row r for every row
    size_t identityRows_ = 0;
    std::shared_ptr<const SpanStore> lender_;
    std::vector<uint32_t> refs_;
    std::vector<TextSpan> own_;
};

} // namespace store
