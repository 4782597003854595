#include "vadrel-db/scan/FileFacts.h"

#include "store/files/Windows1252.h"

#include <QtEndian>

#include <lzma.h>
#include <zlib.h>

#include <optional>

// A Nullsoft installer: a small program, then at a 512-byte boundary its "first header" and
// its compressed script header, which holds the strings the script gave (its name, the values
// it writes to the registry's list of installed programs).

namespace disc {

namespace {

constexpr qint64 searchLimit = 8 * 1024 * 1024; // where the first header may begin at most
constexpr qint64 searchPiece = 1024 * 1024;
constexpr qint64 headerLimit = 16 * 1024 * 1024; // far above a script's header
constexpr qint64 packedLimit = 64 * 1024 * 1024; // read of a solid stream to unpack the header
constexpr int firstHeaderSize = 28;
constexpr int nameString = 2; // the language table's ^Name, after the branding and caption
constexpr int entrySize = 28; // an instruction and its six arguments

quint32 word(const QByteArray &bytes, qint64 at) {
    if (at < 0 || at + 4 > bytes.size())
        return 0;
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// Where the first header begins, and the unpacked size of the script header it announces.
std::optional<std::pair<qint64, qint64>> firstHeader(const Pieces &file) {
    for (qint64 from = 0; from < std::min(file.size, searchLimit); from += searchPiece) {
        const QByteArray piece = file.read(from, searchPiece + firstHeaderSize);
        for (qint64 at = 0; at + firstHeaderSize <= piece.size() && at < searchPiece; at += 512)
            if (word(piece, at + 4) == 0xDEADBEEF && piece.mid(at + 8, 12) == "NullsoftInst")
                return std::pair{from + at, qint64(word(piece, at + 20))};
    }
    return std::nullopt;
}

// Unpacks `packed` (raw deflate, or LZMA after its five bytes of properties) until `wanted`
// bytes come out; fewer when it ends or is damaged first.
QByteArray unpacked(const QByteArray &packed, qint64 wanted) {
    QByteArray out(wanted, Qt::Uninitialized);
    qint64 made = 0;
    if (packed.size() > 5 && uchar(packed[0]) == 0x5D) {
        // The .lzma format's own header: these properties and an unknown size.
        const QByteArray alone = packed.left(5) + QByteArray(8, '\xff') + packed.mid(5);
        lzma_stream stream = LZMA_STREAM_INIT;
        if (lzma_alone_decoder(&stream, 256 * 1024 * 1024) == LZMA_OK) {
            stream.next_in = reinterpret_cast<const uint8_t *>(alone.constData());
            stream.avail_in = size_t(alone.size());
            stream.next_out = reinterpret_cast<uint8_t *>(out.data());
            stream.avail_out = size_t(wanted);
            while (stream.avail_out > 0 && lzma_code(&stream, LZMA_RUN) == LZMA_OK) {
            }
            made = wanted - qint64(stream.avail_out);
        }
        lzma_end(&stream);
    } else {
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) == Z_OK) {
            stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.constData()));
            stream.avail_in = uInt(packed.size());
            stream.next_out = reinterpret_cast<Bytef *>(out.data());
            stream.avail_out = uInt(wanted);
            while (stream.avail_out > 0 && inflate(&stream, Z_NO_FLUSH) == Z_OK) {
            }
            made = wanted - qint64(stream.avail_out);
            inflateEnd(&stream);
        }
    }
    out.truncate(made);
    return out;
}

// The script header: packed on its own (its packed size first, the top bit set when packed), or
// at the start of one stream with all the files (its size first, once unpacked).
QByteArray scriptHeader(const Pieces &file, qint64 at, qint64 size) {
    const quint32 length = word(file.read(at, 4), 0);
    const qint64 packedSize = length & 0x7FFFFFFF;
    if (length == size)
        return file.read(at + 4, size);
    // A solid stream's first bytes may read as a packed size: it is tried when that fails.
    if ((length & 0x80000000) && packedSize <= packedLimit)
        if (QByteArray alone = unpacked(file.read(at + 4, packedSize), size); alone.size() == size)
            return alone;
    const QByteArray solid = unpacked(file.read(at, packedLimit), size + 4);
    return word(solid, 0) == size ? solid.mid(4) : QByteArray();
}

class Strings {
public:
    explicit Strings(QByteArray table)
        : table_(std::move(table))
        , wide_(table_.size() >= 4 && table_[1] == '\0' && table_[3] == '\0') {}

    // A string of the script; empty when it holds variables or codes, known only when it runs.
    QString at(qint64 offset) const {
        QString text;
        if (wide_) {
            for (qint64 i = offset * 2; i >= 0 && i + 1 < table_.size(); i += 2) {
                const char16_t c = qFromLittleEndian<quint16>(table_.constData() + i);
                if (c == 0)
                    break;
                text += QChar(c);
            }
        } else if (offset >= 0 && offset < table_.size()) {
            text = store::fromWindows1252(QByteArray(table_.constData() + offset));
        }
        // Half a surrogate pair is no text at all.
        if (!QStringView(text).isValidUtf16())
            return {};
        for (const QChar c : text)
            if (c.unicode() < 0x20 || (!wide_ && c.unicode() >= 0xFC && c.unicode() <= 0xFF))
                return {};
        return text.trimmed();
    }

private:
    QByteArray table_;
    bool wide_;
};

} // namespace

NsisFacts readNsis(const Pieces &file) {
    NsisFacts facts;
    const auto first = firstHeader(file);
    if (!first)
        return facts;
    const auto [at, size] = *first;
    if (size > headerLimit) {
        facts.result = ReadResult::TooLarge;
        return facts;
    }
    const QByteArray header = scriptHeader(file, at + firstHeaderSize, size);
    if (header.size() != size || size < 4 + 8 * 8)
        return facts;
    // After its flags, eight blocks (offset, count): pages, sections, instructions, strings,
    // language tables, and more.
    const auto block = [&](int i) {
        return std::pair{word(header, 4 + 8 * i), word(header, 8 + 8 * i)};
    };
    const auto [entries, entryCount] = block(2);
    const auto [strings, unused] = block(3);
    const auto [languages, languageCount] = block(4);
    Q_UNUSED(unused);
    if (strings >= languages || languages > quint32(size) || entries > strings)
        return facts;
    const Strings text(header.mid(strings, languages - strings));
    if (languageCount > 0)
        facts.name = text.at(qint32(word(header, languages + 10 + 4 * nameString)));
    // What the script writes to the list of installed programs names the product as the user
    // sees it there.
    for (quint32 i = 0; i < entryCount && entries + (i + 1) * entrySize <= strings; ++i) {
        const qint64 entry = entries + i * entrySize;
        if (!text.at(qint32(word(header, entry + 8)))
                 .contains(u"\\Uninstall\\", Qt::CaseInsensitive))
            continue;
        const QString value = text.at(qint32(word(header, entry + 12)));
        const QString data = text.at(qint32(word(header, entry + 16)));
        if (value.compare(u"DisplayName", Qt::CaseInsensitive) == 0 && !data.isEmpty())
            facts.name = data;
        else if (value.compare(u"DisplayVersion", Qt::CaseInsensitive) == 0)
            facts.version = data;
        else if (value.compare(u"Publisher", Qt::CaseInsensitive) == 0)
            facts.publisher = data;
    }
    facts.result = facts.name.isEmpty() ? ReadResult::Missing : ReadResult::Read;
    return facts;
}

} // namespace disc
