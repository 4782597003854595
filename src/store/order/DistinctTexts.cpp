#include "store/order/DistinctTexts.h"

#include <algorithm>

namespace store::order {

DistinctTexts::DistinctTexts(size_t expected) {
    size_t size = 1024;
    while (size < 2 * expected && size <= 0x80000000u)
        size *= 2;
    table_.resize(size);
}

void DistinctTexts::grow() {
    std::vector<uint64_t> grown(2 * table_.size());
    const size_t mask = grown.size() - 1;
    for (const uint64_t slot : table_) {
        if (slot == 0)
            continue;
        size_t i = (slot >> 32) & mask;
        while (grown[i] != 0)
            i = (i + 1) & mask;
        grown[i] = slot;
    }
    table_.swap(grown);
}

size_t guessDistinct(const std::vector<uint32_t> &hashes, size_t step) {
    std::vector<uint32_t> sample;
    for (size_t row = 0; row < hashes.size(); row += step)
        sample.push_back(hashes[row]);
    std::sort(sample.begin(), sample.end());
    const auto distinct = size_t(std::unique(sample.begin(), sample.end()) - sample.begin());
    // Few distinct ones show as many repeats; many show as a sample with almost none.
    return 2 * distinct < sample.size() ? distinct : hashes.size() / sample.size() * distinct;
}

} // namespace store::order
