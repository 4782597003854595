#include "store/files/Windows1252.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <stdexcept>

namespace store {

namespace {

struct Converter {
    iconv_t handle;
    Converter()
        : handle(iconv_open("CP1252", "UTF-8")) {
        if (handle == iconv_t(-1))
            throw std::runtime_error("iconv cannot convert to CP1252");
    }
    ~Converter() { iconv_close(handle); }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
};

// The bytes of the character at `in`: a whole UTF-8 sequence, or one byte that starts none (a
// stray Latin-1 byte must not swallow the characters after it).
size_t characterLength(const char *in, size_t left) {
    const auto lead = static_cast<unsigned char>(in[0]);
    const size_t length = lead >= 0xF0 && lead <= 0xF7   ? 4
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xC0 && lead <= 0xDF ? 2
                                                         : 1;
    if (length > left)
        return 1;
    for (size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(in[i]) & 0xC0) != 0x80)
            return 1;
    return length;
}

} // namespace

// Plain ASCII and the Latin-1 letters (U+00A0-U+00FF, the accents of Spanish) are the code
// page's own bytes and are written here; iconv, whose calls cost far more than the bytes, only
// sees the other runs of non-ASCII bytes. The result is the same as iconv's over the whole text,
// which converts character by character.
QByteArray utf8ToWindows1252(const QByteArray &utf8) {
    static thread_local Converter converter;
    QByteArray out(utf8.size(), Qt::Uninitialized); // never more bytes than the UTF-8 has
    const char *in = utf8.constData();
    const char *const end = in + utf8.size();
    char *to = out.data();
    while (in < end) {
        // Eight bytes at a time while they are all ASCII.
        while (end - in >= 8) {
            std::uint64_t word;
            std::memcpy(&word, in, 8);
            if (word & 0x8080808080808080u)
                break;
            std::memcpy(to, &word, 8);
            in += 8;
            to += 8;
        }
        if (in == end)
            break;
        const auto byte = static_cast<unsigned char>(*in);
        if (byte < 0x80) {
            *to++ = *in++;
            continue;
        }
        if ((byte == 0xC2 || byte == 0xC3) && end - in >= 2) {
            const auto next = static_cast<unsigned char>(in[1]);
            if ((next & 0xC0) == 0x80 && (byte == 0xC3 || next >= 0xA0)) {
                *to++ = char(((byte & 0x03) << 6) | (next & 0x3F));
                in += 2;
                continue;
            }
        }
        // The run of bytes up to the next ASCII one goes to iconv.
        const char *runEnd = in + 1;
        while (runEnd < end && static_cast<unsigned char>(*runEnd) >= 0x80)
            ++runEnd;
        iconv(converter.handle, nullptr, nullptr, nullptr, nullptr);
        char *from = const_cast<char *>(in);
        size_t inLeft = size_t(runEnd - in);
        size_t outLeft = size_t(runEnd - in);
        while (inLeft > 0) {
            if (iconv(converter.handle, &from, &inLeft, &to, &outLeft) != size_t(-1))
                break;
            if (errno != EILSEQ && errno != EINVAL)
                throw std::runtime_error("conversion to CP1252 failed");
            // Not in the code page, or not UTF-8: one "?" for the whole character.
            const size_t skip = characterLength(from, inLeft);
            from += skip;
            inLeft -= skip;
            *to++ = '?';
            --outLeft;
        }
        in = runEnd;
    }
    out.truncate(to - out.data());
    return out;
}

QByteArray toWindows1252(const QString &text) {
    return utf8ToWindows1252(text.toUtf8());
}

QString fromWindows1252(const QByteArray &bytes) {
    // 0x80 to 0x9F; the rest of the code page is Latin-1.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = byte >= 0x80 && byte < 0xA0 ? QChar(kHigh[byte - 0x80]) : QChar(byte);
    }
    return text;
}

} // namespace store
