#include "Windows1252.h"

#include <cerrno>
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

// The length of the UTF-8 sequence a lead byte starts; 1 for a byte that starts none.
size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF7)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

} // namespace

QByteArray utf8ToWindows1252(const QByteArray &utf8) {
    static thread_local Converter converter;
    iconv(converter.handle, nullptr, nullptr, nullptr, nullptr);
    QByteArray out(utf8.size(), Qt::Uninitialized); // never more bytes than the UTF-8 has
    char *in = const_cast<char *>(utf8.constData());
    size_t inLeft = size_t(utf8.size());
    char *to = out.data();
    size_t outLeft = size_t(out.size());
    while (inLeft > 0) {
        if (iconv(converter.handle, &in, &inLeft, &to, &outLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            throw std::runtime_error("conversion to CP1252 failed");
        // Not in the code page, or not UTF-8: one "?" for the whole character.
        const size_t skip = std::min(sequenceLength(static_cast<unsigned char>(*in)), inLeft);
        in += skip;
        inLeft -= skip;
        *to++ = '?';
        --outLeft;
    }
    out.truncate(to - out.data());
    return out;
}

QByteArray toWindows1252(const QString &text) {
    return utf8ToWindows1252(text.toUtf8());
}

} // namespace store
