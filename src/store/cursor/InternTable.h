#pragma once

#include "store/cursor/SpanColumn.h"
#include "store/cursor/TextBuffer.h"
#include "store/order/DistinctTexts.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace store {

// The distinct texts of one column read so far, found by their bytes before they are stored: a
// repeated text (a licence, a publisher, a CD's description) is then stored once and never
// copied again. Open addressing over flat slots, which a million lookups cross far faster than
// the nodes of a standard set; and the text looked up last, which the next row often repeats
// (the programs of one CD follow each other).
class InternTable {
public:
    // The span of a text equal to `text` stored in `bytes`, or nullptr.
    const TextSpan *find(std::string_view text, const TextBuffer &bytes) {
        if (last_.offset != TextSpan::kNull && last_.length == text.size() &&
            bytes.at(last_.offset, last_.length) == text)
            return &last_;
        hash_ = order::hashOf(text);
        if (slots_.empty())
            return nullptr;
        for (size_t i = hash_ & mask_;; i = (i + 1) & mask_) {
            const Slot &slot = slots_[i];
            if (slot.span.offset == TextSpan::kNull)
                return nullptr;
            if (slot.hash == hash_ && slot.span.length == text.size() &&
                bytes.at(slot.span.offset, slot.span.length) == text) {
                last_ = slot.span;
                return &last_;
            }
        }
    }
    // Adds the text just looked up in vain, now stored at `span`.
    void add(TextSpan span) {
        if ((used_ + 1) * 2 > slots_.size())
            grow();
        place(Slot{hash_, span});
        ++used_;
        last_ = span;
    }

private:
    struct Slot {
        uint32_t hash = 0;
        TextSpan span{TextSpan::kNull, 0};
    };
    void place(const Slot &entry) {
        size_t i = entry.hash & mask_;
        while (slots_[i].span.offset != TextSpan::kNull)
            i = (i + 1) & mask_;
        slots_[i] = entry;
    }
    void grow() {
        std::vector<Slot> old(std::max<size_t>(64, slots_.size() * 2));
        old.swap(slots_);
        mask_ = slots_.size() - 1;
        for (const Slot &slot : old)
            if (slot.span.offset != TextSpan::kNull)
                place(slot);
    }

    std::vector<Slot> slots_;
    size_t mask_ = 0;
    size_t used_ = 0;
    uint32_t hash_ = 0; // of the text looked up last
    TextSpan last_{TextSpan::kNull, 0};
};

} // namespace store
