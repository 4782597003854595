#include "store/order/KeySort.h"

#include "store/order/CollationKeys.h"
#include "store/order/LatinKeys.h"
#include "store/order/Utf8Text.h"

#include <array>

namespace store::order {

namespace {

// Every so many keys of the Latin writer are checked against ICU's while sorting.
constexpr unsigned kCheckEvery = 256;
// Longer texts go to ICU, which keeps the Latin writer's scratch small.
constexpr size_t kLatinLongest = 4096;

} // namespace

void KeyWriter::add(std::string_view text, uint32_t id) {
    static constexpr uint8_t kEmpty = 0;
    if (readsEmpty(text))
        return arena.add(id, &kEmpty, 1);
    if (latin_ && text.size() <= kLatinLongest) {
        const size_t longest = LatinKeys::longest(text.size());
        if (key_.size() < 2 * longest)
            key_.resize(2 * longest);
        if (const size_t length = latin_->write(text, key_.data(), key_.data() + longest)) {
            if (++sinceCheck_ == kCheckEvery) {
                sinceCheck_ = 0;
                const size_t icuLength = icuKey(collator_, toUtf16(text, utf16_), spare_);
                if (icuLength != length || std::memcmp(spare_.data(), key_.data(), length) != 0)
                    latinWrong = true;
            }
            return arena.add(id, key_.data(), length);
        }
    }
    const std::u16string_view units = toUtf16(text, utf16_);
    const size_t length = collator_ ? icuKey(collator_, units, key_) : foldedKey(units, key_);
    arena.add(id, key_.data(), length);
}

void KeySort::work() {
    std::vector<Range> local;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !shared_.empty() || busy_ == 0; });
            if (stop_ || shared_.empty())
                return;
            local.push_back(shared_.back());
            shared_.pop_back();
            ++busy_;
        }
        try {
            while (!local.empty()) {
                const Range range = local.back();
                local.pop_back();
                sort(range, local);
            }
        } catch (...) {
            const std::lock_guard lock(mutex_);
            stop_ = true;
            wake_.notify_all();
            throw;
        }
        const std::lock_guard lock(mutex_);
        if (--busy_ == 0 && shared_.empty())
            wake_.notify_all();
    }
}

// sort()'s helpers are inline so that they go into its loop.
inline void KeySort::refill(size_t begin, size_t end, uint32_t depth) {
    constexpr size_t kAhead = 16;
    for (size_t i = begin; i < end; ++i) {
        if (i + kAhead < end)
            __builtin_prefetch(items_[i + kAhead].key + depth);
        items_[i].chunk = chunkAt(items_[i].key + depth);
    }
}

inline uint32_t KeySort::alike(size_t begin, size_t end, uint32_t from) const {
    constexpr size_t kAhead = 16;
    const uint8_t *first = items_[begin].key + from;
    size_t length = std::strlen(reinterpret_cast<const char *>(first)) & ~size_t(7);
    for (size_t i = begin + 1; i < end && length > 0; ++i) {
        if (i + kAhead < end)
            __builtin_prefetch(items_[i + kAhead].key + from);
        // Up to the first key's end the other keys have bytes to load.
        const uint8_t *key = items_[i].key + from;
        size_t n = 0;
        while (n < length && std::memcmp(key + n, first + n, 8) == 0)
            n += 8;
        length = n;
    }
    return uint32_t(length);
}

inline void KeySort::push(Range range, std::vector<Range> &local) {
    if (range.end - range.begin < kShared)
        return local.push_back(range);
    const std::lock_guard lock(mutex_);
    shared_.push_back(range);
    wake_.notify_one();
}

void KeySort::sort(Range range, std::vector<Range> &local) {
    auto [begin, end, depth, byte] = range;
    for (;;) {
        if (end - begin <= kSmall) {
            std::sort(
                items_.begin() + ptrdiff_t(begin), items_.begin() + ptrdiff_t(end),
                [&, at = depth](const Item &a, const Item &b) { return compare(a, b, at) < 0; });
            for (size_t i = begin + 1; i < end; ++i)
                same_[i] = compare(items_[i - 1], items_[i], depth) == 0;
            return;
        }
        // One pass counts the items of each value of the byte and finds the first byte
        // where any two differ; most of the time that is the same byte.
        const unsigned shift = 56 - 8 * byte;
        const auto digit = [shift](const Item &item) { return (item.chunk >> shift) & 0xFF; };
        const uint64_t first = items_[begin].chunk;
        uint64_t differ = 0;
        std::array<size_t, 257> start{};
        for (size_t i = begin; i < end; ++i) {
            differ |= items_[i].chunk ^ first;
            ++start[digit(items_[i]) + 1];
        }
        if (differ == 0) {
            if ((first & 0xFF) == 0) { // equal keys, ended in these eight bytes
                std::fill(same_.begin() + ptrdiff_t(begin + 1), same_.begin() + ptrdiff_t(end), 1);
                return;
            }
            // The keys go on alike: find how far, reading each key once, rather than eight
            // bytes at a time.
            depth += 8 + alike(begin, end, depth + 8);
            refill(begin, end, depth);
            byte = 0;
            continue;
        }
        if (const unsigned differs = unsigned(std::countl_zero(differ)) / 8; differs != byte) {
            byte = differs;
            continue;
        }
        start[0] = begin;
        for (size_t b = 1; b <= 256; ++b)
            start[b] += start[b - 1];
        // In place, each item swapped straight into its byte's bucket.
        std::array<size_t, 256> next;
        std::copy(start.begin(), start.end() - 1, next.begin());
        for (size_t b = 0; b < 256; ++b) {
            while (next[b] < start[b + 1]) {
                Item item = items_[next[b]];
                for (size_t d = digit(item); d != b; d = digit(item))
                    std::swap(item, items_[next[d]++]);
                items_[next[b]++] = item;
            }
        }
        for (size_t b = 0; b < 256; ++b) {
            const size_t from = start[b], to = start[b + 1];
            if (to - from < 2)
                continue;
            if (b == 0) { // the keys ended here
                std::fill(same_.begin() + ptrdiff_t(from + 1), same_.begin() + ptrdiff_t(to), 1);
            } else if (byte == 7) {
                refill(from, to, depth + 8);
                push({from, to, depth + 8, 0}, local);
            } else {
                push({from, to, depth, byte + 1}, local);
            }
        }
        return;
    }
}

} // namespace store::order
