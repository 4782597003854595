#include "store/order/RowSorter.h"

#include "store/order/DistinctTexts.h"
#include "store/order/LatinKeys.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <thread>

namespace store::order {

namespace {

// From these many rows two threads share the work.
constexpr size_t kParallelFrom = 8192;

} // namespace

RowSorter::RowSorter(uint32_t count, const std::function<std::string_view(uint32_t)> &text)
    : count_(count)
    , text_(text)
    , threads_(count >= kParallelFrom && std::thread::hardware_concurrency() > 1 ? 2 : 1) {}

size_t RowSorter::hash() {
    hashes_.resize(count_);
    std::array<size_t, 2> high{};
    run([&](unsigned thread) {
        size_t rows = 0;
        for (size_t row = part(count_, thread), end = part(count_, thread + 1); row < end; ++row) {
            hashes_[row] = hashOf(text_(uint32_t(row)));
            rows += hashes_[row] >> 31;
        }
        high[thread] = rows;
    });
    rowsOf_ = threads_ == 2 ? std::array<size_t, 2>{count_ - high[0] - high[1], high[0] + high[1]}
                            : std::array<size_t, 2>{count_, 0};
    return count_ == 0 ? 0 : guessDistinct(hashes_, std::max<size_t>(1, count_ / 16384));
}

bool RowSorter::writeKeys(UCollator *collator, const LatinKeys *latin, size_t guess) {
    UCollator *clone = nullptr;
    if (threads_ == 2 && collator) {
        UErrorCode status = U_ZERO_ERROR;
        clone = ucol_clone(collator, &status);
        if (U_FAILURE(status))
            throw std::bad_alloc();
    }
    const std::unique_ptr<UCollator, void (*)(UCollator *)> closeClone(clone, ucol_close);
    shares_.clear();
    for (unsigned thread = 0; thread < threads_; ++thread)
        shares_.push_back(std::make_unique<Share>(thread ? clone : collator, latin));
    run([&](unsigned thread) {
        Share &share = *shares_[thread];
        DistinctTexts distinct(std::min(rowsOf_[thread], guess * rowsOf_[thread] / count_));
        share.ofRow.reserve(rowsOf_[thread]);
        constexpr uint32_t kAhead = 16; // rows whose table slot is fetched meanwhile
        for (uint32_t row = 0; row < count_; ++row) {
            if (count_ - row > kAhead)
                distinct.prefetch(hashes_[row + kAhead]);
            const uint32_t hash = hashes_[row];
            if (threads_ == 2 && hash >> 31 != thread)
                continue;
            const std::string_view value = text_(row);
            const auto [id, added] = distinct.find(value, hash, row, text_);
            if (added)
                share.writer.add(value, id);
            share.ofRow.push_back(id);
        }
        share.texts = uint32_t(distinct.firstRow.size());
    });
    return std::none_of(shares_.begin(), shares_.end(),
                        [](const auto &share) { return share->writer.latinWrong; });
}

std::vector<uint32_t> RowSorter::order() {
    std::array<uint32_t, 3> base{};
    for (unsigned thread = 0; thread < threads_; ++thread)
        base[thread + 1] = base[thread] + shares_[thread]->texts;
    const size_t texts = base[threads_];

    // The records take their number among all the distinct texts.
    std::vector<Item> items(texts);
    run([&](unsigned thread) {
        shares_[thread]->writer.arena.forEach([&](uint8_t *record) {
            uint32_t id;
            std::memcpy(&id, record, 4);
            id += base[thread];
            std::memcpy(record, &id, 4);
            items[id] = {chunkAt(record + 4), record + 4};
        });
    });

    std::vector<uint8_t> same(texts);
    KeySort sort(items, same);
    run([&](unsigned) { sort.work(); });

    // Equal keys share a rank; each row takes its text's rank, in place of its hash.
    std::vector<uint32_t> rankOf(texts);
    uint32_t ranks = 0;
    for (size_t i = 0; i < texts; ++i) {
        ranks += i == 0 || !same[i];
        uint32_t id;
        std::memcpy(&id, items[i].key - 4, 4);
        rankOf[id] = ranks - 1;
    }
    std::vector<Item>().swap(items);
    std::vector<uint8_t>().swap(same);
    for (const auto &share : shares_)
        share->writer.arena.clear();
    std::array<size_t, 2> next{};
    for (uint32_t row = 0; row < count_; ++row) {
        const unsigned thread = threads_ == 2 ? hashes_[row] >> 31 : 0;
        hashes_[row] = rankOf[base[thread] + shares_[thread]->ofRow[next[thread]++]];
    }
    shares_.clear();
    std::vector<uint32_t>().swap(rankOf);
    const std::vector<uint32_t> &rankOfRow = hashes_;

    // A counting sort on the rank keeps the rows of one rank in their order.
    std::vector<uint32_t> start(size_t(ranks) + 1);
    for (const uint32_t rank : rankOfRow)
        ++start[rank + 1];
    for (size_t rank = 1; rank <= ranks; ++rank)
        start[rank] += start[rank - 1];
    std::vector<uint32_t> order(count_);
    for (uint32_t row = 0; row < count_; ++row)
        order[start[rankOfRow[row]]++] = row;
    return order;
}

std::shared_ptr<LatinKeys> latinKeysFor(const QByteArray &name, const UCollator *collator) {
    static std::mutex mutex;
    static std::map<QByteArray, std::shared_ptr<LatinKeys>> made;
    const std::lock_guard lock(mutex);
    const auto [at, added] = made.try_emplace(name);
    if (added)
        at->second = LatinKeys::make(collator);
    return at->second;
}

} // namespace store::order
