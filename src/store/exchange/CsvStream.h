#pragma once

#include "store/exchange/CatalogueCsv.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <memory>
#include <optional>

// CSV records read from a file in pieces, for the reading and the import alike.
namespace store::csv {

// The separators, quotes and line ends are ASCII in all three encodings, so the file is split
// into fields as bytes and each field is decoded on its own; a field not valid in the encoding
// makes its record's fault.
class Parser {
public:
    Parser(QIODevice &in, CsvEncoding encoding, char separator, const CsvProgress &progress);
    // The next record, blank lines skipped; false at the end. Throws CsvCancelled.
    bool next(CsvRecord &record);

private:
    bool fill();
    int peek() {
        return (at_ < buffer_.size() || fill()) ? static_cast<unsigned char>(buffer_[at_]) : -1;
    }
    QString decode(const QByteArray &bytes, bool &valid) const;

    QIODevice &in_;
    CsvEncoding encoding_;
    char separator_;
    const CsvProgress &progress_;
    QByteArray buffer_;
    qsizetype at_ = 0;
    qint64 size_;
    int line_ = 1;
    bool ended_ = false;
};

// The file opened for reading; throws FileError when it cannot be.
std::unique_ptr<QIODevice> openFile(const QString &path);
// Skips a leading byte order mark; true when there was one.
bool skipBom(QIODevice &in);
// Whether the first bytes look like no text at all.
bool looksBinary(QIODevice &in);
// The first `rows` rows (all of them when negative) and what is guessed; the titles' line read.
CsvFile preview(QIODevice &in, const CsvOptions &options, int rows, const CsvProgress &progress);
// From line 1, outside quotes.
char guessSeparator(QIODevice &in);
// UTF-8 when the file is mostly valid UTF-8; else Windows-1252. Reads the whole file.
CsvEncoding guessEncoding(QIODevice &in, const CsvProgress &progress);
// Line 1 holds titles when it names columns we know, or when it has text where the other rows
// have numbers or dates.
bool guessTitles(const std::vector<CsvRecord> &first);

// A whole number written plainly (spaces, a sign, digits), as the store takes it.
std::optional<qint64> plainNumber(const QString &text);
// Why the text is not a whole number the store takes, or nothing when it is.
std::optional<QString> numberFault(const QString &text);

// "1 línea", "2 líneas".
QString counted(qint64 count, const char *one, const char *many);

} // namespace store::csv
