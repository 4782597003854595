#include "TextOrder.h"

#include <QChar>
#include <QString>

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <random>
#include <string>
#include <thread>

namespace store {

namespace {

// From these many rows two threads share the work, and from these many distinct texts (as
// guessed) the table of Latin characters is worth making.
constexpr size_t kParallelFrom = 8192;
constexpr size_t kLatinFrom = 2048;
// Every so many keys of the Latin writer are checked against ICU's while sorting.
constexpr unsigned kCheckEvery = 256;
// Longer texts go to ICU, which keeps the Latin writer's scratch small.
constexpr size_t kLatinLongest = 4096;

// ---------------------------------------------------------------------------------------------
// UTF-8

// Well-formed UTF-8 is what QString::fromUtf8 reads without putting U+FFFD anywhere.
bool wellFormedUtf8(std::string_view text) {
    const auto *p = reinterpret_cast<const uint8_t *>(text.data());
    const auto *end = p + text.size();
    while (p < end) {
        if (end - p >= 8) {
            uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                p += 8;
                continue;
            }
        }
        const uint8_t lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        // The second byte's range rules out overlong forms, surrogates and code points past
        // U+10FFFF.
        ptrdiff_t tail;
        uint8_t low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            tail = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            tail = 2;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            tail = 3;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (end - p <= tail || p[1] < low || p[1] > high)
            return false;
        for (ptrdiff_t i = 2; i <= tail; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += tail + 1;
    }
    return true;
}

// QString::fromUtf8 drops one byte order mark at the start, so a text of just that one is empty.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view withoutByteOrderMark(std::string_view text) {
    if (text.substr(0, 3) == kByteOrderMark)
        text.remove_prefix(3);
    return text;
}

bool readsEmpty(std::string_view text) {
    return text.empty() || text == kByteOrderMark;
}

// The UTF-16 that QString::fromUtf8 makes of the text, in `buffer`.
std::u16string_view toUtf16(std::string_view text, std::vector<char16_t> &buffer) {
    if (!wellFormedUtf8(text)) {
        const QString converted = QString::fromUtf8(text.data(), qsizetype(text.size()));
        buffer.assign(converted.utf16(), converted.utf16() + converted.size());
        return {buffer.data(), buffer.size()};
    }
    text = withoutByteOrderMark(text);
    buffer.resize(text.size()); // never more code units than bytes
    const auto *p = reinterpret_cast<const uint8_t *>(text.data());
    const auto *end = p + text.size();
    char16_t *out = buffer.data();
    while (p < end) {
        const uint8_t lead = *p;
        if (lead < 0x80) {
            *out++ = lead;
            ++p;
        } else if (lead < 0xE0) {
            *out++ = char16_t(((lead & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if (lead < 0xF0) {
            *out++ = char16_t(((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
        } else {
            const char32_t c = ((lead & 0x07) << 18) | ((p[1] & 0x3F) << 12) |
                               ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
            *out++ = QChar::highSurrogate(c);
            *out++ = QChar::lowSurrogate(c);
            p += 4;
        }
    }
    return {buffer.data(), size_t(out - buffer.data())};
}

void appendUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// ---------------------------------------------------------------------------------------------
// Sort keys. Every key is a byte string with no zero inside, ended by a zero, so keys order as
// memcmp/strcmp order them; the empty text's key is the lone zero, first of all.

// ICU's sort key, grown into `out` when it does not fit; its length with the final zero.
size_t icuKey(const UCollator *collator, std::u16string_view text, std::vector<uint8_t> &out) {
    if (out.size() < 2 * text.size() + 64)
        out.resize(2 * text.size() + 64);
    // SQLite keeps no text longer than 2^31 bytes, so the lengths fit ICU's.
    const auto length = int32_t(text.size());
    int32_t size = ucol_getSortKey(collator, text.data(), length, out.data(), int32_t(out.size()));
    if (size > int32_t(out.size())) {
        out.resize(size_t(size));
        size = ucol_getSortKey(collator, text.data(), length, out.data(), size);
    }
    if (size <= 0)
        throw std::bad_alloc(); // ICU's only failure here
    return size_t(size);
}

// Without a collator Qt compares, code unit by code unit, the case-folded character (the whole
// code point at a low surrogate that follows a high one). Three bytes of seven bits for each
// keep that order and put no zero inside the key.
size_t foldedKey(std::u16string_view text, std::vector<uint8_t> &out) {
    out.resize(3 * text.size() + 1);
    uint8_t *o = out.data();
    char32_t last = 0;
    for (const char16_t unit : text) {
        char32_t c = unit;
        if (QChar::isLowSurrogate(c) && QChar::isHighSurrogate(last))
            c = QChar::surrogateToUcs4(char16_t(last), unit);
        last = unit;
        const char32_t folded = QChar::toCaseFolded(c);
        *o++ = uint8_t(0x80 | (folded >> 14));
        *o++ = uint8_t(0x80 | ((folded >> 7) & 0x7F));
        *o++ = uint8_t(0x80 | (folded & 0x7F));
    }
    *o++ = 0;
    return size_t(o - out.data());
}

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

void LatinKeys::makeQuick() {
    for (char32_t c = 0; c < kChars; ++c) {
        const Char &ch = chars_[c];
        Quick &quick = quick_[c];
        quick = Quick{};
        quick.here = ch.elements != kNotHere;
        if (ch.elements != 1 || ch.primary[0] == 0 || ch.secondary[0] != kCommon)
            continue;
        const uint32_t primary = ch.primary[0];
        const std::array<uint8_t, 4> tail{uint8_t(primary >> 16), uint8_t(primary >> 8),
                                          uint8_t(primary), 0};
        quick.simple = true;
        quick.primary = primary;
        std::memcpy(&quick.tail, tail.data(), 4);
        quick.lead = uint8_t(primary >> 24);
        quick.tailLength = tail[0] == 0 ? 0 : tail[1] == 0 ? 1 : tail[2] == 0 ? 2 : 3;
        if (compressible_[quick.lead]) {
            quick.run = primary;
            quick.runLead = quick.lead;
        }
    }
}

size_t LatinKeys::write(std::string_view text, uint8_t *out, uint8_t *secondaries) const {
    const auto *p = reinterpret_cast<const uint8_t *>(text.data());
    const auto *end = p + text.size();
    uint8_t *o = out;
    uint8_t *s = secondaries;
    uint32_t previous = 0; // last primary that wrote its compressible lead byte, or 0
    uint32_t commonRun = 0;
    while (p < end) {
        char32_t c = *p;
        if (c < 0x80) {
            ++p;
        } else if (c >= 0xC2 && c <= 0xCB && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            c = ((c & 0x1F) << 6) | (p[1] & 0x3F);
            p += 2;
        } else {
            return 0;
        }
        const Quick &quick = quick_[c];
        if (quick.simple) {
            const bool sameRun = quick.runLead == previous >> 24; // no real lead byte is 0
            *o = quick.primary >= previous ? 0xFF : 0x03;
            o += !sameRun & (previous != 0);
            *o = quick.lead;
            o += !sameRun;
            std::memcpy(o, &quick.tail, 4);
            o += quick.tailLength;
            previous = sameRun ? previous : quick.run;
            ++commonRun;
            continue;
        }
        if (!quick.here)
            return 0;
        const Char &ch = chars_[c];
        for (unsigned i = 0; i < ch.elements; ++i) {
            if (const uint32_t primary = ch.primary[i]) {
                const uint32_t lead = primary >> 24;
                if (!compressible_[lead] || lead != previous >> 24) {
                    if (previous != 0) {
                        if (primary >= previous)
                            *o++ = 0xFF;
                        else if (lead > 0x02)
                            *o++ = 0x03;
                    }
                    *o++ = uint8_t(lead);
                    previous = compressible_[lead] ? primary : 0;
                }
                if (const auto b2 = uint8_t(primary >> 16)) {
                    *o++ = b2;
                    if (const auto b3 = uint8_t(primary >> 8)) {
                        *o++ = b3;
                        if (const auto b4 = uint8_t(primary))
                            *o++ = b4;
                    }
                }
            }
            const uint32_t secondary = ch.secondary[i];
            if (secondary == kCommon) {
                ++commonRun;
            } else if (secondary != 0) {
                s = endCommonRun(s, commonRun, secondary < kCommon);
                *s++ = uint8_t(secondary >> 8);
                if (secondary & 0xFF)
                    *s++ = uint8_t(secondary);
            }
        }
    }
    s = endCommonRun(s, commonRun, true);
    *o++ = 0x01;
    std::memcpy(o, secondaries, size_t(s - secondaries));
    o += s - secondaries;
    *o++ = 0;
    return size_t(o - out);
}

size_t LatinKeys::write(const std::u32string &text, std::vector<uint8_t> &out) const {
    std::string utf8;
    for (const char32_t c : text)
        appendUtf8(utf8, c);
    out.resize(2 * longest(utf8.size()));
    return write(utf8, out.data(), out.data() + longest(utf8.size()));
}

bool LatinKeys::sameAsIcu(const UCollator *collator, const std::u32string &text) const {
    std::u16string utf16(text.begin(), text.end());
    std::vector<uint8_t> mine, theirs;
    const size_t length = write(text, mine);
    return length != 0 && length == icuKey(collator, utf16, theirs) &&
           std::memcmp(mine.data(), theirs.data(), length) == 0;
}

std::unique_ptr<LatinKeys> LatinKeys::make(const UCollator *collator) {
    // The writer knows ICU's layout for these settings only.
    UErrorCode status = U_ZERO_ERROR;
    const auto setting = [&](UColAttribute attribute) {
        return ucol_getAttribute(collator, attribute, &status);
    };
    if (setting(UCOL_STRENGTH) != UCOL_SECONDARY || setting(UCOL_FRENCH_COLLATION) != UCOL_OFF ||
        setting(UCOL_CASE_LEVEL) != UCOL_OFF ||
        setting(UCOL_ALTERNATE_HANDLING) != UCOL_NON_IGNORABLE ||
        setting(UCOL_NUMERIC_COLLATION) != UCOL_OFF || U_FAILURE(status))
        return nullptr;
    if (ucol_getReorderCodes(collator, nullptr, 0, &status) != 0 || U_FAILURE(status))
        return nullptr;

    auto keys = std::make_unique<LatinKeys>();

    // A contraction or prefix (context) mapping applies only to a text that has all of its
    // characters, so leaving the last one out of the table is enough. Only strings made of
    // characters below U+0300 matter: Spanish "n" + U+0303 must not send every text with an "n"
    // to ICU, nor the root's "l·" every text with an "l".
    std::array<bool, kChars> inContraction{};
    USet *contractions = uset_openEmpty();
    ucol_getContractionsAndExpansions(collator, contractions, nullptr, true, &status);
    std::vector<UChar> item(64);
    for (int32_t i = 0, n = uset_getItemCount(contractions); U_SUCCESS(status) && i < n; ++i) {
        UChar32 start = 0, end = 0;
        int32_t length =
            uset_getItem(contractions, i, &start, &end, item.data(), int32_t(item.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            status = U_ZERO_ERROR;
            item.resize(size_t(length));
            length = uset_getItem(contractions, i, &start, &end, item.data(), length, &status);
        }
        if (length > 0 && std::all_of(item.begin(), item.begin() + length,
                                      [](UChar unit) { return unit < kChars; }))
            inContraction[item[size_t(length) - 1]] = true;
        for (UChar32 c = start; length == 0 && c <= end && c < UChar32(kChars); ++c)
            inContraction[size_t(c)] = true;
    }
    uset_close(contractions);
    if (U_FAILURE(status))
        return nullptr;

    // Each character's 64-bit collation elements come in two 32-bit halves: the first with the
    // top 16 bits of the primary and the top bytes of the secondary and tertiary, a second
    // (marked 0xC0 in its low byte) with the rest when that is not zero.
    UCollationElements *elements = ucol_openElements(collator, nullptr, 0, &status);
    for (char32_t c = 0; c < kChars && U_SUCCESS(status); ++c) {
        if (inContraction[c])
            continue;
        const auto unit = UChar(c);
        ucol_setText(elements, &unit, 1, &status);
        std::vector<std::pair<uint32_t, uint32_t>> weights; // primary, secondary
        for (int32_t half;
             U_SUCCESS(status) && (half = ucol_next(elements, &status)) != UCOL_NULLORDER;) {
            const auto bits = uint32_t(half);
            if ((bits & 0xC0) == 0xC0 && !weights.empty()) {
                weights.back().first |= bits >> 16;
                weights.back().second |= (bits >> 8) & 0xFF;
            } else {
                weights.emplace_back(bits & 0xFFFF0000, bits & 0xFF00);
            }
        }
        std::erase_if(weights, [](const auto &w) { return w.first == 0 && w.second == 0; });
        if (weights.size() > 3)
            continue;
        Char &ch = keys->chars_[c];
        ch.elements = uint8_t(weights.size());
        for (size_t i = 0; i < weights.size(); ++i) {
            ch.primary[i] = weights[i].first;
            ch.secondary[i] = uint16_t(weights[i].second);
        }
    }
    ucol_closeElements(elements);
    if (U_FAILURE(status))
        return nullptr;

    // Which lead bytes ICU compresses shows in a character written twice.
    std::array<bool, 256> settled{};
    for (char32_t c = 0; c < kChars; ++c) {
        const Char &ch = keys->chars_[c];
        if (ch.elements != 1 || ch.primary[0] == 0 || settled[ch.primary[0] >> 24])
            continue;
        const uint32_t lead = ch.primary[0] >> 24;
        settled[lead] = true;
        keys->compressible_[lead] = true;
        keys->makeQuick();
        if (!keys->sameAsIcu(collator, {c, c})) {
            keys->compressible_[lead] = false;
            keys->makeQuick();
            if (!keys->sameAsIcu(collator, {c, c}))
                return nullptr;
        }
    }
    std::u32string usable;
    for (char32_t c = 0; c < kChars; ++c) {
        Char &ch = keys->chars_[c];
        for (unsigned i = 0; i < ch.elements && ch.elements != kNotHere; ++i)
            if (ch.primary[i] != 0 && !settled[ch.primary[i] >> 24])
                ch.elements = kNotHere;
        if (ch.elements != kNotHere)
            usable += c;
    }
    keys->makeQuick();

    // Every character alone and next to one of each kind (letter, space, digit, punctuation,
    // accent, expansion, ignorable), and a few hundred mixed texts with long runs of the common
    // secondary weight.
    std::u32string partners;
    for (const char32_t c : U"a 0.\u00e9\u00df\x01")
        if (c != 0 && usable.find(c) != std::u32string::npos)
            partners += c;
    for (const char32_t c : usable) {
        if (!keys->sameAsIcu(collator, {c}))
            return nullptr;
        for (const char32_t partner : partners)
            if (!keys->sameAsIcu(collator, {c, partner}) ||
                !keys->sameAsIcu(collator, {partner, c}))
                return nullptr;
    }
    std::minstd_rand random(20240611);
    for (int i = 0; i < 300; ++i) {
        std::u32string text;
        const size_t length = 1 + random() % 90;
        const std::u32string &from = i % 2 ? partners : usable;
        while (text.size() < length)
            text += from[random() % from.size()];
        if (!keys->sameAsIcu(collator, text))
            return nullptr;
    }
    return keys;
}

// ---------------------------------------------------------------------------------------------
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

    void add(std::string_view text, uint32_t id) {
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

private:
    const UCollator *collator_; // null: Qt's folded code units
    const LatinKeys *latin_;    // null: ICU writes every key
    std::vector<char16_t> utf16_;
    std::vector<uint8_t> key_, spare_;
    unsigned sinceCheck_ = 0;
};

uint64_t mix(uint64_t a, uint64_t b) {
    __extension__ using Wide = unsigned __int128;
    const Wide product = Wide(a) * b;
    return uint64_t(product) ^ uint64_t(product >> 64);
}

uint32_t hashOf(std::string_view text) {
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

    void work() {
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

    void refill(size_t begin, size_t end, uint32_t depth) {
        constexpr size_t kAhead = 16;
        for (size_t i = begin; i < end; ++i) {
            if (i + kAhead < end)
                __builtin_prefetch(items_[i + kAhead].key + depth);
            items_[i].chunk = chunkAt(items_[i].key + depth);
        }
    }

    // How many bytes from `from` on, in whole eights, all the range's keys share.
    uint32_t alike(size_t begin, size_t end, uint32_t from) const {
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

    void push(Range range, std::vector<Range> &local) {
        if (range.end - range.begin < kShared)
            return local.push_back(range);
        const std::lock_guard lock(mutex_);
        shared_.push_back(range);
        wake_.notify_one();
    }

    void sort(Range range, std::vector<Range> &local) {
        auto [begin, end, depth, byte] = range;
        for (;;) {
            if (end - begin <= kSmall) {
                std::sort(items_.begin() + ptrdiff_t(begin), items_.begin() + ptrdiff_t(end),
                          [&, at = depth](const Item &a, const Item &b) {
                              return compare(a, b, at) < 0;
                          });
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
                    std::fill(same_.begin() + ptrdiff_t(begin + 1), same_.begin() + ptrdiff_t(end),
                              1);
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
                    std::fill(same_.begin() + ptrdiff_t(from + 1), same_.begin() + ptrdiff_t(to),
                              1);
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

    std::vector<Item> &items_;
    std::vector<uint8_t> &same_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Range> shared_;
    unsigned busy_ = 0;
    bool stop_ = false;
};

// One thread's share of the distinct texts: those whose hash has its top bit equal to the
// thread's number, found through an open-addressing table of hash and local number.
class DistinctTexts {
public:
    explicit DistinctTexts(size_t expected) {
        size_t size = 1024;
        while (size < 2 * expected && size <= 0x80000000u)
            size *= 2;
        table_.resize(size);
    }

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
    void grow() {
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

    std::vector<uint64_t> table_; // hash << 32 | (local number + 1), 0 when free
};

// How many distinct texts there are, guessed from about 16 000 rows' hashes.
size_t guessDistinct(const std::vector<uint32_t> &hashes, size_t step) {
    std::vector<uint32_t> sample;
    for (size_t row = 0; row < hashes.size(); row += step)
        sample.push_back(hashes[row]);
    std::sort(sample.begin(), sample.end());
    const auto distinct = size_t(std::unique(sample.begin(), sample.end()) - sample.begin());
    // Few distinct ones show as many repeats; many show as a sample with almost none.
    return 2 * distinct < sample.size() ? distinct : hashes.size() / sample.size() * distinct;
}

// The steps of TextOrder::sortRows, on two threads when there are many rows: the distinct
// texts through a hash table, one sort key for each (a column of a million rows may have six),
// the keys in order by radix sort, equal keys given one rank, and the rows placed by a counting
// sort on their texts' ranks.
class RowSorter {
public:
    RowSorter(uint32_t count, const std::function<std::string_view(uint32_t)> &text)
        : count_(count)
        , text_(text)
        , threads_(count >= kParallelFrom && std::thread::hardware_concurrency() > 1 ? 2 : 1) {}

    // Each row's hash, whose top bit tells which thread takes the row's text; the guessed
    // number of distinct texts.
    size_t hash() {
        hashes_.resize(count_);
        std::array<size_t, 2> high{};
        run([&](unsigned thread) {
            size_t rows = 0;
            for (size_t row = part(count_, thread), end = part(count_, thread + 1); row < end;
                 ++row) {
                hashes_[row] = hashOf(text_(uint32_t(row)));
                rows += hashes_[row] >> 31;
            }
            high[thread] = rows;
        });
        rowsOf_ = threads_ == 2
                      ? std::array<size_t, 2>{count_ - high[0] - high[1], high[0] + high[1]}
                      : std::array<size_t, 2>{count_, 0};
        return count_ == 0 ? 0 : guessDistinct(hashes_, std::max<size_t>(1, count_ / 16384));
    }

    // Each thread finds the distinct texts of its rows and writes their keys while they are
    // fresh in the cache. False when a key written with the table differed from ICU's.
    bool writeKeys(UCollator *collator, const LatinKeys *latin, size_t guess) {
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

    // The rows in order of their texts' keys, those of equal keys in row order.
    std::vector<uint32_t> order() {
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
std::shared_ptr<LatinKeys> latinKeysFor(const QByteArray &name, const UCollator *collator) {
    static std::mutex mutex;
    static std::map<QByteArray, std::shared_ptr<LatinKeys>> made;
    const std::lock_guard lock(mutex);
    const auto [at, added] = made.try_emplace(name);
    if (added)
        at->second = LatinKeys::make(collator);
    return at->second;
}

} // namespace

struct TextOrder::Collation {
    QByteArray name;
    UCollator *collator = nullptr; // null: the "C" locale's folded code units
    std::once_flag latinOnce;
    std::shared_ptr<LatinKeys> latin;

    LatinKeys *latinKeys() {
        if (!collator)
            return nullptr;
        std::call_once(latinOnce, [this] { latin = latinKeysFor(name, collator); });
        return latin && latin->trusted.load(std::memory_order_relaxed) ? latin.get() : nullptr;
    }
};

TextOrder::TextOrder(const QLocale &locale)
    : collation_(std::make_unique<Collation>()) {
    // As QCollator: no collator for the "C" locale, ICU's for the locale's BCP 47 name (which
    // keeps the script: sr_Latn_RS is "sr_Latn", its name() "sr_RS"), and these attributes.
    if (locale.language() == QLocale::C)
        return;
    const QByteArray name = locale.bcp47Name().toLatin1().replace('-', '_');
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_open(name.constData(), &status);
    if (U_FAILURE(status))
        return;
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_SECONDARY, &status);
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return;
    }
    collation_->name = name;
    collation_->collator = collator;
}

TextOrder::~TextOrder() {
    if (collation_->collator)
        ucol_close(collation_->collator);
}

int TextOrder::compare(std::string_view a, std::string_view b) const {
    if (readsEmpty(a) || readsEmpty(b))
        return readsEmpty(a) ? (readsEmpty(b) ? 0 : -1) : 1;
    const UCollator *collator = collation_->collator;
    if (!collator) {
        const int result =
            QString::compare(QString::fromUtf8(a.data(), qsizetype(a.size())),
                             QString::fromUtf8(b.data(), qsizetype(b.size())), Qt::CaseInsensitive);
        return (result > 0) - (result < 0);
    }
    UErrorCode status = U_ZERO_ERROR;
    if (wellFormedUtf8(a) && wellFormedUtf8(b)) {
        const std::string_view qa = withoutByteOrderMark(a), qb = withoutByteOrderMark(b);
        const UCollationResult result = ucol_strcollUTF8(collator, qa.data(), int32_t(qa.size()),
                                                         qb.data(), int32_t(qb.size()), &status);
        if (U_SUCCESS(status))
            return int(result);
        status = U_ZERO_ERROR;
    }
    // ICU reads bad UTF-8 its own way; QCollator sees what QString::fromUtf8 made of it.
    const QString qa = QString::fromUtf8(a.data(), qsizetype(a.size()));
    const QString qb = QString::fromUtf8(b.data(), qsizetype(b.size()));
    return int(ucol_strcoll(collator, reinterpret_cast<const UChar *>(qa.utf16()),
                            int32_t(qa.size()), reinterpret_cast<const UChar *>(qb.utf16()),
                            int32_t(qb.size())));
}

std::vector<uint32_t>
TextOrder::sortRows(uint32_t count, const std::function<std::string_view(uint32_t)> &text) const {
    if (count == 0)
        return {};
    RowSorter sorter(count, text);
    const size_t guess = sorter.hash();
    LatinKeys *latin = guess >= kLatinFrom ? collation_->latinKeys() : nullptr;
    if (!sorter.writeKeys(collation_->collator, latin, guess)) {
        latin->trusted.store(false);
        sorter.writeKeys(collation_->collator, nullptr, guess);
    }
    return sorter.order();
}

} // namespace store
