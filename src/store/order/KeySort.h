#pragma once

#include <unicode/ucol.h>

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace store::order {

// The distinct texts' sort keys, written into per-thread arenas and put in order: the arena
// and the writer that fills it, the radix sort of the keys that two threads share, and the
// helper that runs a step on two threads. chunkAt and the arena's add run for every key and
// stay inline here.

class LatinKeys;

// Keys live in arenas of 1 MiB blocks, one arena per thread. A record is the distinct text's
// number (4 bytes) and then its key. A block keeps eight cleared bytes after its last record,
// so eight bytes can be loaded from any key byte.

class Arena {
public:
    Arena() = default;
    Arena(const Arena &) = delete;
    Arena &operator=(const Arena &) = delete;

    void add(uint32_t id, const uint8_t *key, size_t length) {
        const size_t record = 4 + length;
        if (blocks_.empty() || blocks_.back().size - blocks_.back().used < record + kSlack)
            grow(record + kSlack);
        Block &block = blocks_.back();
        uint8_t *at = block.bytes.get() + block.used;
        std::memcpy(at, &id, 4);
        std::memcpy(at + 4, key, length);
        block.used += record;
        std::memset(at + record, 0, kSlack);
    }

    void clear() { std::vector<Block>().swap(blocks_); }

    // Calls visit(record) for each record in the order added.
    template <typename Visit> void forEach(Visit &&visit) const {
        for (const Block &block : blocks_) {
            for (uint8_t *at = block.bytes.get(), *end = at + block.used; at < end;) {
                visit(at);
                at += 4 + std::strlen(reinterpret_cast<const char *>(at + 4)) + 1;
            }
        }
    }

private:
    static constexpr size_t kBlock = size_t(1) << 20;
    static constexpr size_t kSlack = 8;

    struct Block {
        std::unique_ptr<uint8_t[]> bytes;
        size_t size, used;
    };

    void grow(size_t least) {
        const size_t size = std::max(kBlock, least);
        blocks_.push_back({std::unique_ptr<uint8_t[]>(new uint8_t[size]), size, 0});
    }

    std::vector<Block> blocks_;
};

// Eight key bytes from `at` as one number, first byte highest, with the bytes after the key's
// final zero cleared: equal keys give equal numbers.
inline uint64_t chunkAt(const uint8_t *at) {
    uint64_t raw;
    std::memcpy(&raw, at, 8);
    if constexpr (std::endian::native == std::endian::little) {
        const uint64_t zeros = (raw - 0x0101010101010101ull) & ~raw & 0x8080808080808080ull;
        if (zeros != 0) {
            const unsigned kept = unsigned(std::countr_zero(zeros)) / 8; // the first zero's place
            raw &= kept == 0 ? 0 : ~0ull >> (64 - 8 * kept);
        }
        return __builtin_bswap64(raw);
    } else {
        uint64_t chunk = 0;
        for (int i = 0; i < 8; ++i) {
            chunk = chunk << 8 | at[i];
            if (at[i] == 0)
                return chunk << 8 * (7 - i);
        }
        return chunk;
    }
}

// Writes the distinct texts' keys into one thread's arena.
class KeyWriter {
public:
    KeyWriter(const UCollator *collator, const LatinKeys *latin)
        : collator_(collator)
        , latin_(latin) {}

    Arena arena;
    bool latinWrong = false; // a checked key of the table differed from ICU's

    void add(std::string_view text, uint32_t id);

private:
    const UCollator *collator_; // null: Qt's folded code units
    const LatinKeys *latin_;    // null: ICU writes every key
    std::vector<char16_t> utf16_;
    std::vector<uint8_t> key_, spare_;
    unsigned sinceCheck_ = 0;
};

// Runs work(0) here and work(1) on a second thread, or both here if no thread starts.
template <typename Work> void onTwoThreads(Work &&work) {
    std::exception_ptr failure;
    std::thread helper;
    try {
        helper = std::thread([&] {
            try {
                work(1u);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    } catch (const std::system_error &) {
        work(0u);
        work(1u);
        return;
    }
    try {
        work(0u);
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

struct Item {
    uint64_t chunk; // the key's bytes at the depth being sorted on
    const uint8_t *key;
};

// Orders the items by key: a most-significant-digit radix sort on the key bytes, eight of them
// held in each item so that most passes read only the items, and the bytes all keys of a range
// share skipped at once. Threads take ranges from a common stack. same[i] ends up telling that
// item i's key equals item i-1's.
class KeySort {
public:
    KeySort(std::vector<Item> &items, std::vector<uint8_t> &same)
        : items_(items)
        , same_(same)
        , shared_{{0, items.size(), 0, 0}} {}

    void work();

private:
    struct Range {
        size_t begin, end;
        uint32_t depth; // items hold the key bytes from here
        unsigned byte;  // and the range's keys are alike before this byte of them
    };
    static constexpr size_t kSmall = 48;
    static constexpr size_t kShared = 16384; // ranges this big go where the other thread sees them

    static int compare(const Item &a, const Item &b, uint32_t depth) {
        if (a.chunk != b.chunk)
            return a.chunk < b.chunk ? -1 : 1;
        if ((a.chunk & 0xFF) == 0) // the keys ended in these eight bytes
            return 0;
        return std::strcmp(reinterpret_cast<const char *>(a.key + depth + 8),
                           reinterpret_cast<const char *>(b.key + depth + 8));
    }

    void refill(size_t begin, size_t end, uint32_t depth);
    // How many bytes from `from` on, in whole eights, all the range's keys share.
    uint32_t alike(size_t begin, size_t end, uint32_t from) const;
    void push(Range range, std::vector<Range> &local);
    void sort(Range range, std::vector<Range> &local);

    std::vector<Item> &items_;
    std::vector<uint8_t> &same_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Range> shared_;
    unsigned busy_ = 0;
    bool stop_ = false;
};

} // namespace store::order
