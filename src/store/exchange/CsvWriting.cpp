#include "store/exchange/CatalogueCsv.h"

#include "store/cursor/CursorSession.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "store/engine/Conversions.h"
#include "store/engine/Engine.h"
#include "store/exchange/CsvHeadings.h"
#include "store/files/ReplacementFile.h"
#include "store/schema/Schema.h"

#include <charconv>

// The catalogue, or the joined view's rows, written as CSV.

namespace store {

namespace {

namespace cds = schema::cds;
namespace programs = schema::programs;
namespace joined = schema::joined;

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

void writeColumn(CsvWriter &out, const engine::Statement &row, int column) {
    if (row.isNull(column))
        out.none();
    else if (row.holdsNumber(column))
        out.number(row.int64(column));
    else
        out.text(row.text(column));
}

// A stored date in the form the file keeps (what isoToSerial reads); anything else as it is.
void writeDate(CsvWriter &out, const engine::Statement &row, int column) {
    if (row.isNull(column) || row.holdsNumber(column))
        return writeColumn(out, row, column);
    const std::string_view stored = row.text(column);
    const auto serial = isoToSerial(stored.data(), int(stored.size()));
    out.text(serial ? serialToIso(*serial) : QByteArray(stored.data(), stored.size()));
}

QByteArray sqlName(const char *alias, const char *field) {
    return QByteArray(alias) + '.' + field;
}

} // namespace

void writeCatalogueCsv(Connection &connection, const FilePath &path, FileCalls &files,
                       const ExportProgress &progress) {
    using namespace schema;
    ProgressTicker ticker(progress, progress ? wholeCatalogueRows(connection) : 0);
    QByteArray sql = "SELECT ";
    for (const char *field : cds::fields)
        sql += sqlName("d", field) + ", ";
    for (int f = programs::Number; f <= programs::Comment; ++f)
        if (f != programs::Cd)
            sql += sqlName("p", programs::fields[f]) + (f == programs::Comment ? " " : ", ");
    sql += QByteArray("FROM ") + cds::table + " d LEFT JOIN " + programs::table + " p ON " +
           sqlName("p", programs::fields[programs::Cd]) + " = " +
           sqlName("d", cds::fields[cds::Number]) + " ORDER BY " +
           sqlName("d", cds::fields[cds::Number]) + ", " +
           sqlName("p", programs::fields[programs::Number]);

    CursorSession::of(connection).finishBackgroundRead();
    engine::Statement rows(connection.handle(), sql, connection.dataSource());
    const engine::Statement &row = rows;
    ReplacementFile file(path, files);
    CsvWriter out(&file);
    out.heading({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    // The CD's four fields repeat on each of its programs: they are put in CSV form once.
    QByteArray cdFields;
    std::optional<qint64> cd;
    while (rows.step()) {
        ticker.row();
        const qint64 number = rows.int64(0);
        if (cd != number) {
            cd = number;
            CsvWriter piece;
            piece.number(number);
            writeColumn(piece, row, 1);
            writeDate(piece, row, 2);
            writeColumn(piece, row, 3);
            cdFields = piece.take();
        }
        out.raw(cdFields);
        for (int column = 4; column < kColumns; ++column)
            writeColumn(out, row, column);
        out.endRow();
    }
    out.finish();
    file.commit();
}

void writeCatalogueCsv(TableCursor &view, const FilePath &path, FileCalls &files,
                       const ExportProgress &progress) {
    using namespace joined;
    ReplacementFile file(path, files);
    CsvWriter out(&file);
    out.heading({0, 1, 5, 6, 7, 8, 9, 10, 11});
    view.GoFirst();
    const int rows = view.visibleCount();
    ProgressTicker ticker(progress, rows);
    auto number = [&](int row, int field) {
        if (!view.valueAt(row, field).isValid())
            out.none();
        else if (view.fieldDef(field).kind == FieldKind::Integer)
            out.number(view.numberAt(row, field));
        else
            out.text(view.displayText(row, field).toUtf8());
    };
    auto text = [&](int row, int field) {
        const FieldKind kind = view.fieldDef(field).kind;
        if (kind == FieldKind::Text || kind == FieldKind::Memo) {
            const std::string_view bytes = view.utf8At(row, field);
            if (bytes.empty())
                out.none(); // the rows keep no difference between empty and no value
            else
                out.text(bytes);
        } else if (view.valueAt(row, field).isValid()) {
            out.text(view.displayText(row, field).toUtf8());
        } else {
            out.none();
        }
    };
    for (int row = 0; row < rows; ++row) {
        ticker.row();
        number(row, Cd);
        text(row, CdDescription);
        text(row, Name);
        text(row, Version);
        text(row, Publisher);
        text(row, Licence);
        number(row, Year);
        text(row, Link);
        text(row, Comment);
        out.endRow();
    }
    out.finish();
    file.commit();
    view.GoLast();
}

} // namespace store
