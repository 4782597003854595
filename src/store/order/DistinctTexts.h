#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace store::order {

// The texts of a column told apart by a hash of their bytes, so that each distinct one gets a
// single sort key however many rows share it; and a guess, from a sample of the hashes, of how
// many distinct texts there are. The hash and the table's look-up run for every row and stay
// inline here.

inline uint64_t mix(uint64_t a, uint64_t b) {
    __extension__ using Wide = unsigned __int128;
    const Wide product = Wide(a) * b;
    return uint64_t(product) ^ uint64_t(product >> 64);
}

inline uint32_t hashOf(std::string_view text) {
    const auto *p = reinterpret_cast<const uint8_t *>(text.data());
    size_t n = text.size();
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ n;
    for (; n >= 8; n -= 8, p += 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        hash = mix(hash ^ word, 0xA0761D6478BD642Full);
    }
    uint64_t word = 0;
    if (n > 0)
        std::memcpy(&word, p, n);
    return uint32_t(mix(mix(hash ^ word, 0xE7037ED1A0B428DBull), 0x8EBC6AF09C88C6E3ull) >> 32);
}

// One thread's share of the distinct texts: those whose hash has its top bit equal to the
// thread's number, found through an open-addressing table of hash and local number.
class DistinctTexts {
public:
    explicit DistinctTexts(size_t expected);

    std::vector<uint32_t> firstRow; // local number → the first row with that text

    // The text's local number, and whether it is new.
    std::pair<uint32_t, bool> find(std::string_view value, uint32_t hash, uint32_t row,
                                   const std::function<std::string_view(uint32_t)> &text) {
        const size_t mask = table_.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const uint64_t slot = table_[i];
            if (slot == 0) {
                const auto id = uint32_t(firstRow.size());
                firstRow.push_back(row);
                table_[i] = uint64_t(hash) << 32 | (uint64_t(id) + 1);
                if (2 * firstRow.size() > table_.size() && table_.size() <= 0x80000000u)
                    grow();
                return {id, true};
            }
            if (uint32_t(slot >> 32) == hash) {
                const auto id = uint32_t(slot) - 1;
                if (text(firstRow[id]) == value)
                    return {id, false};
            }
        }
    }

    void prefetch(uint32_t hash) const { __builtin_prefetch(&table_[hash & (table_.size() - 1)]); }

private:
    void grow();

    std::vector<uint64_t> table_; // hash << 32 | (local number + 1), 0 when free
};

// How many distinct texts there are, guessed from about 16 000 rows' hashes.
size_t guessDistinct(const std::vector<uint32_t> &hashes, size_t step);

} // namespace store::order
