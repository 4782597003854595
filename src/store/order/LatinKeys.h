#pragma once

#include <unicode/ucol.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace store::order {

// A faster writer of ICU's sort keys for the texts most catalogues are made of: a table of the
// collation elements of the characters below U+0300, made from a locale's collator and checked
// against it, from which the keys of such texts are written with the same bytes ICU writes.

// ICU's keys cost most of a microsecond each for a 45-character link. For texts of
// characters below U+0300 that take part in no contraction, this writes the very same bytes
// from a table of each character's collation elements, several times faster. ICU builds keys
// the same way since version 53: primaries with their lead byte left out while it repeats and
// is compressible, then 01 and the secondaries with runs of the common weight counted.
// The table is checked against ICU when it is made and again while sorting.
class LatinKeys {
public:
    static std::unique_ptr<LatinKeys> make(const UCollator *collator);

    // False once a key checked while sorting differed from ICU's.
    std::atomic<bool> trusted{true};

    static size_t longest(size_t bytes) { return 25 * bytes + 8; }

    // ICU's key of the text into `out` (longest(text.size()) bytes), `secondaries` being
    // scratch of the same size; 0 when a character is not in the table.
    size_t write(std::string_view text, uint8_t *out, uint8_t *secondaries) const;

private:
    static constexpr char32_t kChars = 0x300; // all below the first combining mark
    static constexpr uint8_t kNotHere = 0xFF;
    static constexpr uint32_t kCommon = 0x0500;

    struct Char {
        uint8_t elements = kNotHere; // with a primary or secondary weight, at most three
        std::array<uint16_t, 3> secondary{};
        std::array<uint32_t, 3> primary{};
    };
    // Most characters have one element with a primary and the common secondary; for them the
    // writer needs no loop and, written without branches, no guessing.
    struct Quick {
        uint32_t primary = 0;
        uint32_t run = 0;         // the primary when its lead byte is compressible, else 0
        uint32_t tail = 0;        // the primary's bytes after its lead, as they go into the key
        uint16_t runLead = 0x100; // the lead byte when compressible, else no byte
        uint8_t lead = 0, tailLength = 0;
        bool simple = false, here = false;
    };

    static uint8_t *endCommonRun(uint8_t *out, uint32_t &run, bool belowCommon) {
        if (run == 0)
            return out;
        --run;
        for (; run >= 0x21; run -= 0x21)
            *out++ = 0x25;
        *out++ = uint8_t(belowCommon ? 0x05 + run : 0x45 - run);
        run = 0;
        return out;
    }

    void makeQuick();
    size_t write(const std::u32string &text, std::vector<uint8_t> &out) const;
    bool sameAsIcu(const UCollator *collator, const std::u32string &text) const;

    std::array<Char, kChars> chars_;
    std::array<Quick, kChars> quick_;
    std::array<bool, 256> compressible_{};
};

} // namespace store::order
