#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <string_view>

namespace store {

// The lines of the programs listing as they go to the file: every line ends in CR LF and the
// whole is in Windows-1252. Lines are gathered as UTF-8 and handed to `out` converted, a chunk
// at a time and only at the end of a line, so a character is never cut in two and a million
// programs need no more memory than a chunk.
class ListingLines {
public:
    explicit ListingLines(std::function<void(const QByteArray &)> out,
                          qsizetype chunk = qsizetype(1) << 20);

    void line(const QString &text); // a whole line: title, heading, rule or blank
    // A program's line: a blank, then each cell followed by its gap of six blanks.
    void beginRow();
    void cell(std::string_view utf8);
    void cell(qint64 number);
    void endRow();
    // Hands out what is left.
    void finish();

private:
    void endLine();

    std::function<void(const QByteArray &)> out_;
    qsizetype chunk_;
    QByteArray lines_; // UTF-8 until handed out
};

} // namespace store
