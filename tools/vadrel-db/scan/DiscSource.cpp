#include "vadrel-db/scan/DiscSource.h"

#include "vadrel-db/scan/FolderSource.h"
#include "vadrel-db/scan/ImageSource.h"
#include "vadrel-db/scan/UdfSource.h"

#include "store/files/Windows1252.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace disc {

namespace {

QString fromCp850(const QByteArray &bytes) {
    // 0x80 to 0xFF; the rest is ASCII.
    static constexpr char16_t kHigh[128] = {
        0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
        0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
        0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1,
        0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD,
        0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2,
        0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534,
        0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
        0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
        0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4,
        0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD,
        0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8, 0x00B0,
        0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0};
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = byte >= 0x80 ? QChar(kHigh[byte - 0x80]) : QChar(byte);
    }
    return text;
}

} // namespace

bool allUtf8(const std::vector<QByteArray> &names) {
    for (const QByteArray &name : names)
        if (!name.isValidUtf8())
            return false;
    return true;
}

QString nameText(const QByteArray &bytes, bool utf8, CodePage fallback) {
    if (utf8)
        return QString::fromUtf8(bytes);
    return fallback == CodePage::Cp850 ? fromCp850(bytes) : store::fromWindows1252(bytes);
}

QByteArray printable(const QString &text) {
    QByteArray out;
    for (const char32_t c : text.toUcs4()) {
        if (c == u'\\')
            out += "\\\\";
        else if (c < 0x20 || c == 0x7F)
            out += "\\x" + QByteArray::number(uint(c), 16).rightJustified(2, '0');
        else if ((c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029 ||
                 (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069))
            out += "\\u{" + QByteArray::number(uint(c), 16) + '}';
        else
            out += QString::fromUcs4(&c, 1).toUtf8();
    }
    return out;
}

void DiscSource::nameFiles(std::vector<DiscFile> &files, CodePage fallback) {
    std::vector<QByteArray> names;
    names.reserve(files.size() + leftOut_.size());
    for (const DiscFile &file : files)
        names.push_back(file.path);
    for (const auto &[path, why] : leftOut_)
        names.push_back(path);
    const bool utf8 = allUtf8(names);
    for (DiscFile &file : files)
        file.name = nameText(file.path, utf8, fallback);
    // A hostile disc can leave out thousands of parts; the first are enough to tell.
    constexpr std::size_t kMostTold = 1000;
    for (std::size_t i = 0; i < leftOut_.size() && i < kMostTold; ++i)
        unread_.push_back({nameText(leftOut_[i].first, utf8, fallback), leftOut_[i].second});
    if (leftOut_.size() > kMostTold)
        unread_.push_back(
            {QString(), QStringLiteral("y %1 partes más").arg(leftOut_.size() - kMostTold)});
    leftOut_.clear();
}

namespace why {
QString linkOutside() {
    return QStringLiteral("enlace a algo fuera del disco; no se siguió");
}
QString brokenLink() {
    return QStringLiteral("enlace a algo que no existe");
}
QString tooMany(std::size_t most) {
    return QStringLiteral("el disco tiene más de %1 entradas; las demás no se leyeron").arg(most);
}
QString tooDeep(int deepest) {
    return QStringLiteral("carpeta a más de %1 niveles de profundidad").arg(deepest);
}
QString loop() {
    return QStringLiteral("carpeta que vuelve a una carpeta ya leída");
}
QString oversized(qint64 bytes) {
    return QStringLiteral("registro de carpeta demasiado grande (%1 bytes)").arg(bytes);
}
QString pastEnd() {
    return QStringLiteral("registro que pasa del final de la imagen");
}
QString unreadable() {
    return QStringLiteral("carpeta ilegible");
}
} // namespace why

std::optional<QByteArray> readFromBlocks(
    qint64 block, qint64 size, qint64 offset, qint64 length,
    const std::function<bool(char *into, qint64 block, long count, qint64 needed)> &readBlocks) {
    constexpr qint64 kBlock = 2048;
    constexpr long kChunkBlocks = 512; // 1 MB a read
    const qint64 from = std::clamp<qint64>(offset, 0, size);
    const qint64 wanted = std::clamp<qint64>(length, 0, size - from);
    // Whole blocks from the one holding `from`; the bytes before it are dropped at the end.
    const qint64 skip = from % kBlock;
    const qint64 first = block + from / kBlock;
    const qint64 blocks = (skip + wanted + kBlock - 1) / kBlock;
    QByteArray bytes(blocks * kBlock, Qt::Uninitialized);
    for (qint64 done = 0; done < blocks;) {
        const long step = long(std::min<qint64>(kChunkBlocks, blocks - done));
        // The image's last block may be short; only the bytes the file needs must be there.
        if (!readBlocks(bytes.data() + done * kBlock, first + done, step,
                        std::min<qint64>(qint64(step) * kBlock, skip + wanted - done * kBlock)))
            return std::nullopt;
        done += step;
    }
    if (skip == 0) {
        bytes.truncate(wanted);
        return bytes;
    }
    return bytes.mid(skip, wanted);
}

std::unique_ptr<DiscSource> openDiscSource(const QByteArray &path) {
    const std::string shown = path.toStdString();
    // A name with a NUL in it would silently stand for a shorter one.
    if (path.isEmpty() || path.contains('\0'))
        throw ScanError("no such file or folder: " + shown);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw ScanError("no such file or folder: " + shown);
        throw ScanError("cannot read " + shown + ": " + std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode))
        return std::make_unique<FolderSource>(path);
    if (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) {
        try {
            return std::make_unique<ImageSource>(path);
        } catch (const ScanError &) {
            // A DVD of the 2000s may carry UDF alone.
            if (auto udf = UdfSource::open(path))
                return udf;
            throw;
        }
    }
    throw ScanError("not a disc image or folder: " + shown);
}

} // namespace disc
