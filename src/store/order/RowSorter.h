#pragma once

#include "store/order/KeySort.h"

#include <QByteArray>

#include <unicode/ucol.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace store::order {

// The sorting of a column's rows by their texts under a collation, step by step, with the
// distinct texts, their keys and the key sort from the files beside this one; and the Latin key
// table each collator shares for the whole process.

// The steps of TextOrder::sortRows, on two threads when there are many rows: the distinct
// texts through a hash table, one sort key for each (a column of a million rows may have six),
// the keys in order by radix sort, equal keys given one rank, and the rows placed by a counting
// sort on their texts' ranks.
class RowSorter {
public:
    RowSorter(uint32_t count, const std::function<std::string_view(uint32_t)> &text);

    // Each row's hash, whose top bit tells which thread takes the row's text; the guessed
    // number of distinct texts.
    size_t hash();

    // Each thread finds the distinct texts of its rows and writes their keys while they are
    // fresh in the cache. False when a key written with the table differed from ICU's.
    bool writeKeys(UCollator *collator, const LatinKeys *latin, size_t guess);

    // The rows in order of their texts' keys, those of equal keys in row order.
    std::vector<uint32_t> order();

private:
    struct Share {
        Share(const UCollator *collator, const LatinKeys *latin)
            : writer(collator, latin) {}
        KeyWriter writer;
        std::vector<uint32_t> ofRow; // the thread's rows' local numbers, in row order
        uint32_t texts = 0;
    };

    size_t part(size_t n, unsigned thread) const { return n * thread / threads_; }

    template <typename Work> void run(Work &&work) {
        if (threads_ == 2)
            onTwoThreads(work);
        else
            work(0u);
    }

    const uint32_t count_;
    const std::function<std::string_view(uint32_t)> &text_;
    const unsigned threads_;
    std::vector<uint32_t> hashes_;
    std::array<size_t, 2> rowsOf_{};
    std::vector<std::unique_ptr<Share>> shares_;
};

// The Latin table of each collator name, made once for the process: making one takes 10 to
// 20 ms of ICU calls. Null where the table cannot reproduce ICU's keys.
std::shared_ptr<LatinKeys> latinKeysFor(const QByteArray &name, const UCollator *collator);

} // namespace store::order
