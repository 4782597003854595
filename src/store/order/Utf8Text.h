#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace store::order {

// Texts come as UTF-8 bytes and must be read as QString::fromUtf8 reads them: this tells
// well-formed UTF-8 from the rest, drops the byte order mark fromUtf8 drops, and makes the UTF-16
// that ICU and Qt's folding take. The per-text helpers are inline: they run once for every row.

// Well-formed UTF-8 is what QString::fromUtf8 reads without putting U+FFFD anywhere.
bool wellFormedUtf8(std::string_view text);

// QString::fromUtf8 drops one byte order mark at the start, so a text of just that one is empty.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

inline std::string_view withoutByteOrderMark(std::string_view text) {
    if (text.substr(0, 3) == kByteOrderMark)
        text.remove_prefix(3);
    return text;
}

inline bool readsEmpty(std::string_view text) {
    return text.empty() || text == kByteOrderMark;
}

// The UTF-16 that QString::fromUtf8 makes of the text, in `buffer`.
std::u16string_view toUtf16(std::string_view text, std::vector<char16_t> &buffer);

inline void appendUtf8(std::string &out, char32_t c) {
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

} // namespace store::order
