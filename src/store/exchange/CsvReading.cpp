#include "store/exchange/CatalogueCsv.h"

#include "store/engine/Conversions.h"
#include "store/exchange/CsvHeadings.h"
#include "store/exchange/CsvStream.h"
#include "store/files/FileError.h"

#include <QBuffer>
#include <QFile>
#include <array>
#include <cerrno>
#include <iconv.h>

// CSV text read into records, whatever the spreadsheet that saved it, a piece at a time so that
// a file of any size takes little memory.

namespace store {

namespace csv {

namespace {

constexpr qint64 kPiece = 1 << 20;
// A quoted field left open would take the rest of the file into one field.
constexpr qsizetype kLongestField = 16 << 20;

// A one-byte code page as the system's iconv reads it: each byte's character, or none.
struct CodePage {
    std::array<char16_t, 256> character{};
    std::array<bool, 256> defined{};
};

CodePage codePage(const char *name) {
    CodePage page;
    iconv_t convert = ::iconv_open("UTF-16LE", name);
    for (int byte = 0; byte < 256; ++byte) {
        char in = char(byte);
        unsigned char out[8];
        char *from = &in;
        char *to = reinterpret_cast<char *>(out);
        size_t inLeft = 1, outLeft = sizeof out;
        page.character[byte] = char16_t(byte);
        if (convert != iconv_t(-1) &&
            ::iconv(convert, &from, &inLeft, &to, &outLeft) != size_t(-1) && outLeft == 6) {
            page.character[byte] = char16_t(out[0] | out[1] << 8);
            page.defined[byte] = true;
        }
        if (convert != iconv_t(-1))
            ::iconv(convert, nullptr, nullptr, nullptr, nullptr);
    }
    if (convert != iconv_t(-1))
        ::iconv_close(convert);
    return page;
}

const CodePage &page(CsvEncoding encoding) {
    static const CodePage windows = codePage("CP1252");
    static const CodePage latin9 = codePage("ISO-8859-15");
    return encoding == CsvEncoding::Windows1252 ? windows : latin9;
}

// The length of the UTF-8 sequence at `p`, 0 when it is none, -1 when the bytes end inside it.
int sequence(const unsigned char *p, qsizetype left) {
    const unsigned char lead = p[0];
    if (lead < 0x80)
        return 1;
    int length;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else
        return 0;
    for (int i = 1; i < length; ++i) {
        if (i >= left)
            return -1;
        const unsigned char next = p[i];
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

bool validUtf8(const QByteArray &bytes) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const int length = sequence(p + i, n - i);
        if (length <= 0)
            return false;
        i += length;
    }
    return true;
}

bool sameAsNumberOrDate(const QString &text) {
    const QByteArray latin = text.trimmed().toLatin1();
    return plainNumber(text) || isoToSerial(latin.constData(), int(latin.size()));
}

} // namespace

std::unique_ptr<QIODevice> openFile(const QString &path) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        throw FileError::fromErrno(errno ? errno : EIO, path);
    return file;
}

bool skipBom(QIODevice &in) {
    if (in.peek(3) != QByteArray(kBom))
        return false;
    in.seek(in.pos() + 3);
    return true;
}

bool looksBinary(QIODevice &in) {
    const QByteArray start = in.peek(65536);
    qsizetype controls = 0;
    for (char c : start)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n') ||
            c == 0x7F)
            ++controls;
    // One stray control character is a bad line; many make no text.
    return controls >= 3 && controls * 50 >= start.size();
}

char guessSeparator(QIODevice &in) {
    const QByteArray start = in.peek(65536);
    int commas = 0, semicolons = 0;
    bool quoted = false;
    for (char c : start) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted && c == ',')
            ++commas;
        else if (!quoted && c == ';')
            ++semicolons;
    }
    return semicolons > commas ? ';' : ',';
}

CsvEncoding guessEncoding(QIODevice &in, const CsvProgress &progress) {
    const qint64 start = in.pos();
    qint64 valid = 0, invalid = 0;
    QByteArray carried;
    for (;;) {
        QByteArray piece = carried + in.read(kPiece);
        const bool last = in.atEnd() || piece.size() == carried.size();
        carried.clear();
        const auto *p = reinterpret_cast<const unsigned char *>(piece.constData());
        const qsizetype n = piece.size();
        for (qsizetype i = 0; i < n;) {
            if (p[i] < 0x80) {
                ++i;
                continue;
            }
            const int length = sequence(p + i, n - i);
            if (length < 0 && !last) {
                carried = piece.mid(i);
                break;
            }
            if (length <= 0) {
                ++invalid;
                ++i;
            } else {
                ++valid;
                i += length;
            }
        }
        if (progress && !progress(in.pos(), in.size()))
            throw CsvCancelled();
        if (last)
            break;
    }
    in.seek(start);
    // A stray byte of another code page in a UTF-8 file must not turn all its accents around.
    return invalid == 0 || valid > invalid ? CsvEncoding::Utf8 : CsvEncoding::Windows1252;
}

bool guessTitles(const std::vector<CsvRecord> &first) {
    if (first.empty())
        return false;
    QStringList line;
    for (const CsvField &field : first.front().fields)
        line << field.text.trimmed();
    // Whether the rows below hold numbers or dates in the column (and something at all).
    auto valuesBelow = [&](qsizetype column) {
        bool others = false;
        for (size_t row = 1; row < first.size(); ++row) {
            const auto &fields = first[row].fields;
            if (size_t(column) >= fields.size() || fields[size_t(column)].text.trimmed().isEmpty())
                continue;
            if (!sameAsNumberOrDate(fields[size_t(column)].text))
                return false;
            others = true;
        }
        return others;
    };
    // A number or date over more of them is a value: titles are words, even when a value
    // happens to be a known title ("Empresa" as a publisher).
    for (qsizetype column = 0; column < line.size(); ++column)
        if (sameAsNumberOrDate(line[column]) && valuesBelow(column))
            return false;
    const CsvMapping named = guessCsvMapping(line);
    for (const auto &column : named.columns)
        if (column)
            return true;
    // A word over numbers or dates is a title.
    for (qsizetype column = 0; column < line.size(); ++column)
        if (!line[column].isEmpty() && !sameAsNumberOrDate(line[column]) && valuesBelow(column))
            return true;
    return false;
}

std::optional<qint64> plainNumber(const QString &text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    const qsizetype sign = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    if (i == n || i - sign > 1)
        return std::nullopt;
    for (qsizetype digit = i; digit < n; ++digit)
        if (text[digit] < u'0' || text[digit] > u'9')
            return std::nullopt;
    return parseWholeNumber(text);
}

std::optional<QString> numberFault(const QString &text) {
    if (plainNumber(text))
        return std::nullopt;
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    bool digits = i < text.size();
    for (; i < text.size(); ++i)
        digits = digits && text[i] >= u'0' && text[i] <= u'9';
    if (digits)
        return QStringLiteral("«%1» está fuera del rango de los números enteros "
                              "(de -2147483648 a 2147483647)")
            .arg(text);
    return QStringLiteral("«%1» no es un número entero").arg(text);
}

QString counted(qint64 count, const char *one, const char *many) {
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromUtf8(count == 1 ? one : many));
}

Parser::Parser(QIODevice &in, CsvEncoding encoding, char separator, const CsvProgress &progress)
    : in_(in)
    , encoding_(encoding)
    , separator_(separator)
    , progress_(progress)
    , size_(in.size()) {}

bool Parser::fill() {
    if (ended_)
        return false;
    buffer_ = in_.read(kPiece);
    at_ = 0;
    if (buffer_.isEmpty()) {
        ended_ = true;
        return false;
    }
    if (progress_ && !progress_(in_.pos(), size_))
        throw CsvCancelled();
    return true;
}

QString Parser::decode(const QByteArray &bytes, bool &valid) const {
    if (encoding_ == CsvEncoding::Utf8) {
        valid = validUtf8(bytes);
        return QString::fromUtf8(bytes);
    }
    const CodePage &codes = page(encoding_);
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    valid = true;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = codes.character[byte];
        valid = valid && codes.defined[byte];
    }
    return text;
}

bool Parser::next(CsvRecord &record) {
    record = CsvRecord();
    for (;;) { // blank lines
        const int c = peek();
        if (c < 0)
            return false;
        if (c != '\r' && c != '\n')
            break;
        ++at_;
        if (c == '\r' && peek() == '\n')
            ++at_;
        ++line_;
    }
    record.line = line_;
    const char separator = separator_;
    auto endOfLine = [](int c) { return c == '\r' || c == '\n'; };
    bool valid = true;
    QByteArray bytes;
    for (;;) {
        CsvField field;
        bytes.resize(0);
        int c = peek();
        if (c == '"') {
            field.quoted = true;
            ++at_;
            bool closed = false;
            while ((c = peek()) >= 0) {
                ++at_;
                if (c == '"') {
                    if (peek() == '"') {
                        ++at_;
                    } else {
                        closed = true;
                        break;
                    }
                } else if (c == '\n') {
                    ++line_;
                    if (bytes.isEmpty() || bytes.back() != '\r')
                        record.bareLineFeed = true;
                }
                if (bytes.size() < kLongestField)
                    bytes += char(c);
            }
            if (!closed) {
                record.fault = QStringLiteral("comillas sin cerrar");
            } else if (c = peek(); c >= 0 && c != separator && !endOfLine(c)) {
                record.fault = QStringLiteral("texto después de las comillas que cierran");
                while ((c = peek()) >= 0 && !endOfLine(c))
                    ++at_;
            } else if (bytes.size() >= kLongestField && record.fault.isEmpty()) {
                record.fault = QStringLiteral("un campo tiene más de 16 MB");
            }
        } else {
            while ((c = peek()) >= 0 && c != separator && !endOfLine(c)) {
                const char *data = buffer_.constData();
                qsizetype end = at_;
                while (end < buffer_.size() && data[end] != separator && data[end] != '\r' &&
                       data[end] != '\n')
                    ++end;
                bytes.append(data + at_, end - at_);
                at_ = end;
            }
        }
        bool decoded = true;
        field.text = decode(bytes, decoded);
        valid = valid && decoded;
        record.fields.push_back(std::move(field));
        c = peek();
        if (c == separator) {
            ++at_;
            continue;
        }
        if (c == '\r') {
            ++at_;
            if (peek() == '\n')
                ++at_;
        } else if (c == '\n') {
            ++at_;
        }
        ++line_;
        break;
    }
    if (!valid && record.fault.isEmpty())
        record.fault = QStringLiteral("no es texto %1 válido; elija otra codificación")
                           .arg(encodingName(encoding_));
    return true;
}

// The first rows, and what is guessed from them and from the whole file.
CsvFile preview(QIODevice &in, const CsvOptions &options, int rows, const CsvProgress &progress) {
    CsvFile file;
    if (looksBinary(in)) {
        file.binary = true;
        return file;
    }
    const bool bom = skipBom(in);
    file.encoding = options.encoding ? *options.encoding
                    : bom            ? CsvEncoding::Utf8
                                     : guessEncoding(in, progress);
    file.separator = guessSeparator(in);
    Parser parser(in, file.encoding, file.separator, progress);
    // Enough rows to tell titles from values.
    const size_t wanted = rows < 0 ? SIZE_MAX : size_t(std::max(rows, 49) + 1);
    std::vector<CsvRecord> first;
    CsvRecord record;
    while (first.size() < wanted && parser.next(record))
        first.push_back(std::move(record));
    file.titles = options.titles ? *options.titles : guessTitles(first);
    const int columns = first.empty() ? 0 : int(first.front().fields.size());
    if (file.titles && !first.empty()) {
        for (const CsvField &field : first.front().fields)
            file.header << field.text.trimmed();
        first.erase(first.begin());
    } else {
        for (int column = 0; column < columns; ++column)
            file.header << QStringLiteral("Columna %1").arg(column + 1);
    }
    file.mapping = options.mapping ? *options.mapping
                   : file.titles   ? guessCsvMapping(file.header)
                                   : guessCsvMapping(columns, first);
    if (rows >= 0 && first.size() > size_t(rows))
        first.resize(size_t(rows));
    file.rows = std::move(first);
    return file;
}

} // namespace csv

QString encodingName(CsvEncoding encoding) {
    switch (encoding) {
    case CsvEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case CsvEncoding::Windows1252:
        return QStringLiteral("Windows-1252");
    case CsvEncoding::Iso885915:
        return QStringLiteral("ISO-8859-15");
    }
    return {};
}

std::optional<CsvEncoding> encodingNamed(const QString &name) {
    for (CsvEncoding encoding : kCsvEncodings)
        if (encodingName(encoding).compare(name, Qt::CaseInsensitive) == 0)
            return encoding;
    return std::nullopt;
}

CsvFile readCatalogueCsv(const QByteArray &bytes, const CsvOptions &options) {
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    return csv::preview(in, options, -1, {});
}

CsvFile previewCatalogueCsv(const QString &path, const CsvOptions &options, int rows,
                            const CsvProgress &progress) {
    const auto in = csv::openFile(path);
    return csv::preview(*in, options, rows, progress);
}

} // namespace store
