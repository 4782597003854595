#include "store/order/LatinKeys.h"

#include "store/order/CollationKeys.h"
#include "store/order/Utf8Text.h"

#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <utility>

namespace store::order {

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

} // namespace store::order
