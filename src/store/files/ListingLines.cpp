#include "store/files/ListingLines.h"

#include "store/files/Windows1252.h"

namespace store {

ListingLines::ListingLines(std::function<void(const QByteArray &)> out, qsizetype chunk)
    : out_(std::move(out))
    , chunk_(chunk) {}

void ListingLines::line(const QString &text) {
    lines_ += text.toUtf8();
    endLine();
}

void ListingLines::beginRow() {
    lines_ += ' ';
}

void ListingLines::cell(std::string_view utf8) {
    lines_.append(utf8.data(), qsizetype(utf8.size()));
    lines_ += "      ";
}

void ListingLines::cell(qint64 number) {
    lines_ += QByteArray::number(number);
    lines_ += "      ";
}

void ListingLines::endRow() {
    endLine();
}

void ListingLines::endLine() {
    lines_ += "\r\n";
    if (lines_.size() >= chunk_)
        finish();
}

void ListingLines::finish() {
    if (lines_.isEmpty())
        return;
    out_(utf8ToWindows1252(lines_));
    lines_.clear();
}

} // namespace store
