// The Windows-1252 writer: valid UTF-8 goes out character by character as the code page has it
// ("?" for what it lacks), and any bytes at all convert the same whole or cut at a plain ASCII
// byte, which is how the listing hands its lines out in chunks.
#include "Check.h"
#include "store/files/Windows1252.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

namespace {

// The code page above ASCII: 0x80-0x9F from the table, 0xA0-0xFF as in Latin-1. The invisible
// tag characters are left out, as the system's converter does.
QByteArray expectedBytes(char32_t c) {
    static const char16_t high[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (c >= 0xE0000 && c <= 0xE007F)
        return {};
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return QByteArray(1, char(c));
    for (int i = 0; i < 32; ++i)
        if (high[i] != 0 && high[i] == c)
            return QByteArray(1, char(0x80 + i));
    return "?";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray out = store::utf8ToWindows1252(bytes);
    FUZZ_CHECK(out.size() <= bytes.size());

    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes) { // valid UTF-8
        QByteArray expected;
        for (char32_t c : text.toUcs4())
            expected += expectedBytes(c);
        FUZZ_CHECK(out == expected);
    }

    for (qsizetype cut = 0; cut < bytes.size(); ++cut) {
        if (static_cast<unsigned char>(bytes[cut]) >= 0x80)
            continue;
        FUZZ_CHECK(store::utf8ToWindows1252(bytes.left(cut)) +
                       store::utf8ToWindows1252(bytes.mid(cut)) ==
                   out);
        break; // one cut per input: the fuzzer varies where
    }
    return 0;
}
