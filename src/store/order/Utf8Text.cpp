#include "store/order/Utf8Text.h"

#include <QChar>
#include <QString>

#include <cstring>

namespace store::order {

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

} // namespace store::order
