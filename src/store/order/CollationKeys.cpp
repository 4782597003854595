#include "store/order/CollationKeys.h"

#include <QChar>

#include <new>

namespace store::order {

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

} // namespace store::order
