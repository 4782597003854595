#pragma once

#include <QtGlobal>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace store {

// The texts of one column, in chunks that never move: growing never copies what is there (a
// single growing buffer would need twice its size while it grows), and a text's place stays
// valid while more are added. A place is the chunk's number in the high bits and the position
// in it in the low ones.
class TextBuffer {
public:
    static constexpr uint32_t kPositionBits = 20;
    static constexpr uint32_t kLargest = 1u << kPositionBits; // a chunk's size, at most
    static constexpr uint32_t kMaxChunks = 1u << (30 - kPositionBits);

    // The place of the text, or UINT32_MAX when the column has no room left (1 GB).
    uint32_t append(const char *text, size_t length) {
        if (chunks_.empty() || capacity_ - used_ < length) {
            if (chunks_.size() == kMaxChunks)
                return UINT32_MAX;
            // Small columns stay small: chunks grow from 4 KB to 1 MB. A longer text gets a
            // chunk of its own size, whose place then holds only the chunk's number.
            capacity_ = std::max<size_t>(
                length, std::min<size_t>(kLargest, size_t(4096)
                                                       << std::min<size_t>(2 * chunks_.size(), 8)));
            chunks_.push_back(std::make_unique<char[]>(capacity_));
            allocated_ += capacity_;
            used_ = 0;
        }
        const uint32_t place = uint32_t(chunks_.size() - 1) << kPositionBits | uint32_t(used_);
        if (length > 0)
            std::memcpy(chunks_.back().get() + used_, text, length);
        used_ += length;
        return place;
    }
    std::string_view at(uint32_t place, uint32_t length) const {
        return std::string_view(chunks_[place >> kPositionBits].get() + (place & (kLargest - 1)),
                                length);
    }

    size_t bytes() const { return allocated_; }

private:
    std::vector<std::unique_ptr<char[]>> chunks_;
    size_t allocated_ = 0;
    size_t capacity_ = 0;
    size_t used_ = 0;
};

} // namespace store
