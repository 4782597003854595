#include "store/exchange/CatalogueCsv.h"

#include "store/exchange/CsvHeadings.h"
#include "store/exchange/TableCells.h"
#include "store/files/ReplacementFile.h"

#include <charconv>

// The catalogue, or the joined view's rows, written as CSV.

namespace store {

namespace {

// Fills a buffer and hands it to the file in large pieces.
class CsvWriter {
public:
    // Without a file, it only gathers fields for take().
    explicit CsvWriter(ReplacementFile *file = nullptr)
        : file_(file) {
        if (file_) {
            buffer_.reserve(kFlushAt + 4096);
            buffer_.append(kBom);
        }
    }
    void heading(std::initializer_list<int> columns) {
        for (int column : columns)
            text(QString::fromUtf16(kHeadings[column]).toUtf8());
        endRow();
    }
    void none() { separate(); }
    void text(std::string_view bytes) {
        separate();
        if (bytes.empty()) {
            buffer_.append("\"\"", 2);
            return;
        }
        // Inside the quotes, so that the apostrophe is the field's first character.
        const bool guard = needsGuard(bytes);
        if (bytes.find_first_of(",\"\r\n") == std::string_view::npos) {
            if (guard)
                buffer_.append('\'');
            buffer_.append(bytes.data(), qsizetype(bytes.size()));
            return;
        }
        buffer_.append('"');
        if (guard)
            buffer_.append('\'');
        for (char c : bytes) {
            if (c == '"')
                buffer_.append('"');
            buffer_.append(c);
        }
        buffer_.append('"');
    }
    void text(const QByteArray &bytes) { text(std::string_view(bytes.data(), bytes.size())); }
    void number(qint64 value) {
        separate();
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        buffer_.append(digits, end - digits);
    }
    // Bytes already in CSV form, a run of whole fields.
    void raw(const QByteArray &fields) {
        separate();
        buffer_.append(fields);
    }
    void endRow() {
        buffer_.append("\r\n", 2);
        first_ = true;
        if (file_ && buffer_.size() >= kFlushAt) {
            file_->write(buffer_);
            buffer_.clear();
        }
    }
    void finish() {
        file_->write(buffer_);
        buffer_.clear();
    }
    QByteArray take() {
        QByteArray taken = buffer_;
        buffer_.clear();
        first_ = true;
        return taken;
    }

private:
    static constexpr qsizetype kFlushAt = 1 << 20;
    void separate() {
        if (!first_)
            buffer_.append(',');
        first_ = false;
    }
    ReplacementFile *file_;
    QByteArray buffer_;
    bool first_ = true;
};

} // namespace

void writeCatalogueCsv(Connection &connection, const FilePath &path, FileCalls &files,
                       const ExportProgress &progress) {
    ReplacementFile file(path, files);
    CsvWriter out(&file);
    cells::wholeCatalogue(connection, out, progress);
    out.finish();
    file.commit();
}

void writeCatalogueCsv(TableCursor &view, const FilePath &path, FileCalls &files,
                       const ExportProgress &progress) {
    ReplacementFile file(path, files);
    CsvWriter out(&file);
    cells::viewRows(view, out, progress);
    out.finish();
    file.commit();
}

} // namespace store
