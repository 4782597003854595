#include "store/exchange/CatalogueCsv.h"

#include "store/exchange/CsvHeadings.h"
#include "store/files/FileError.h"
#include "store/files/Windows1252.h"

#include <QFile>
#include <QStringDecoder>
#include <cerrno>

// CSV text read into records, whatever the spreadsheet that saved it.

namespace store {

namespace {

QString decoded(QByteArray bytes) {
    if (bytes.startsWith(kBom))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    // Spreadsheets on Windows save "CSV" in the system's code page.
    return utf8.hasError() ? fromWindows1252(bytes) : text;
}

char guessSeparator(const QString &text) {
    int commas = 0, semicolons = 0;
    bool quoted = false;
    for (QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u'\n' || c == u'\r'))
            break;
        else if (!quoted && c == u',')
            ++commas;
        else if (!quoted && c == u';')
            ++semicolons;
    }
    return semicolons > commas ? ';' : ',';
}

std::vector<CsvRecord> records(const QString &text, QChar separator) {
    std::vector<CsvRecord> read;
    const qsizetype n = text.size();
    qsizetype i = 0;
    int line = 1;
    auto endOfLine = [&](qsizetype at) { return text[at] == u'\r' || text[at] == u'\n'; };
    while (i < n) {
        if (endOfLine(i)) { // a blank line
            if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            ++i;
            ++line;
            continue;
        }
        CsvRecord record;
        record.line = line;
        for (;;) {
            CsvField field;
            if (i < n && text[i] == u'"') {
                field.quoted = true;
                bool closed = false;
                for (++i; i < n; ++i) {
                    if (text[i] == u'"') {
                        if (i + 1 < n && text[i + 1] == u'"') {
                            field.text += u'"';
                            ++i;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (text[i] == u'\n')
                        ++line;
                    field.text += text[i];
                }
                if (!closed) {
                    record.fault = QStringLiteral("comillas sin cerrar");
                } else if (i < n && text[i] != separator && !endOfLine(i)) {
                    record.fault = QStringLiteral("texto después de las comillas que cierran");
                    while (i < n && !endOfLine(i))
                        ++i;
                }
            } else {
                const qsizetype start = i;
                while (i < n && text[i] != separator && !endOfLine(i))
                    ++i;
                field.text = text.mid(start, i - start);
            }
            record.fields.push_back(std::move(field));
            if (i < n && text[i] == separator) {
                ++i;
                continue;
            }
            if (i < n && text[i] == u'\r')
                ++i;
            if (i < n && text[i] == u'\n')
                ++i;
            ++line;
            break;
        }
        read.push_back(std::move(record));
    }
    return read;
}

} // namespace

CsvFile readCatalogueCsv(const QByteArray &bytes) {
    const QString text = decoded(bytes);
    CsvFile file;
    file.separator = guessSeparator(text);
    file.rows = records(text, QChar::fromLatin1(file.separator));
    if (!file.rows.empty()) {
        for (const CsvField &field : file.rows.front().fields)
            file.header << field.text.trimmed();
        file.rows.erase(file.rows.begin());
    }
    file.mapping = guessCsvMapping(file.header);
    return file;
}

CsvFile readCatalogueCsvFile(const QString &path) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw FileError::fromErrno(errno ? errno : EIO, path);
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        throw FileError::fromErrno(EIO, path);
    return readCatalogueCsv(bytes);
}

} // namespace store
