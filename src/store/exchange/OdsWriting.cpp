#include "store/exchange/CatalogueOds.h"

#include "store/exchange/TableCells.h"
#include "store/files/FileError.h"
#include "store/files/ReplacementFile.h"

#include <QtEndian>
#include <charconv>
#include <zlib.h>

// The spreadsheet: a zip archive (deflated by zlib) holding the type, the manifest and the
// content, the one table of cells.

namespace store {

namespace {

constexpr char kMimeType[] = "application/vnd.oasis.opendocument.spreadsheet";

const char kManifest[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">
 <manifest:file-entry manifest:full-path="/" manifest:version="1.2" manifest:media-type="application/vnd.oasis.opendocument.spreadsheet"/>
 <manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>
</manifest:manifest>
)";

const char kContentHead[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2"><office:body><office:spreadsheet><table:table table:name="Catálogo">
)";

const char kContentTail[] =
    "</table:table></office:spreadsheet></office:body></office:document-content>\n";

// Writes a zip archive into the file: entries stored or deflated as they come, then the
// directory. Sizes and offsets are 32-bit: a catalogue's content is far below 4 GB.
class Zip {
public:
    explicit Zip(ReplacementFile &file)
        : file_(file) {}
    ~Zip() {
        if (deflating_)
            deflateEnd(&stream_);
    }
    Zip(const Zip &) = delete;
    Zip &operator=(const Zip &) = delete;

    void stored(const QByteArray &name, const QByteArray &data) {
        Entry entry{name,
                    0,
                    0,
                    crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())),
                    quint32(data.size()),
                    quint32(data.size()),
                    offset_};
        localHeader(entry);
        put(data);
        entries_.push_back(entry);
    }
    // An entry whose size is known only at its end: its sizes follow it.
    void begin(const QByteArray &name) {
        entries_.push_back({name, 8, 1 << 3, crc32(0, nullptr, 0), 0, 0, offset_});
        localHeader(entries_.back());
        stream_ = {};
        if (deflateInit2(&stream_, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw FileError(FileError::Cause::Other, file_.target(),
                            QStringLiteral("zlib could not start"));
        deflating_ = true;
    }
    void deflate(const QByteArray &data) { squeeze(data, Z_NO_FLUSH); }
    void end() {
        squeeze({}, Z_FINISH);
        deflateEnd(&stream_);
        deflating_ = false;
        const Entry &entry = entries_.back();
        QByteArray descriptor;
        number32(descriptor, 0x08074b50);
        number32(descriptor, entry.crc);
        number32(descriptor, entry.packed);
        number32(descriptor, entry.size);
        put(descriptor);
    }
    void finish() {
        const quint32 directory = offset_;
        QByteArray out;
        for (const Entry &entry : entries_) {
            number32(out, 0x02014b50);
            number16(out, 20); // made by: version 2.0
            header(out, entry, true);
            number16(out, 0); // comment
            number16(out, 0); // disk
            number16(out, 0); // internal attributes
            number32(out, 0); // external attributes
            number32(out, entry.offset);
            out += entry.name;
        }
        const quint32 size = quint32(out.size());
        number32(out, 0x06054b50);
        number16(out, 0);
        number16(out, 0);
        number16(out, quint16(entries_.size()));
        number16(out, quint16(entries_.size()));
        number32(out, size);
        number32(out, directory);
        number16(out, 0);
        put(out);
    }

private:
    struct Entry {
        QByteArray name;
        quint16 method;
        quint16 flags;
        uLong crc;
        quint32 packed;
        quint32 size;
        quint32 offset;
    };
    static void number16(QByteArray &out, quint16 value) {
        value = qToLittleEndian(value);
        out.append(reinterpret_cast<const char *>(&value), 2);
    }
    static void number32(QByteArray &out, quint32 value) {
        value = qToLittleEndian(value);
        out.append(reinterpret_cast<const char *>(&value), 4);
    }
    // From "version needed" to the extra field's length, shared by both headers; a local one
    // leaves the sizes that follow the entry at 0.
    static void header(QByteArray &out, const Entry &entry, bool central) {
        number16(out, 20);
        number16(out, entry.flags);
        number16(out, entry.method);
        number16(out, 0);            // time: 00:00
        number16(out, (1 << 5) | 1); // date: 1 January 1980, the first a zip can say
        const bool later = !central && (entry.flags & (1 << 3));
        number32(out, later ? 0 : quint32(entry.crc));
        number32(out, later ? 0 : entry.packed);
        number32(out, later ? 0 : entry.size);
        number16(out, quint16(entry.name.size()));
        number16(out, 0);
    }
    void localHeader(const Entry &entry) {
        QByteArray out;
        number32(out, 0x04034b50);
        header(out, entry, false);
        out += entry.name;
        put(out);
    }
    void squeeze(const QByteArray &data, int flush) {
        Entry &entry = entries_.back();
        entry.crc =
            crc32(entry.crc, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size()));
        entry.size += quint32(data.size());
        stream_.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
        stream_.avail_in = uInt(data.size());
        char out[1 << 16];
        int status = Z_OK;
        do {
            stream_.next_out = reinterpret_cast<Bytef *>(out);
            stream_.avail_out = sizeof out;
            status = ::deflate(&stream_, flush);
            const qsizetype made = qsizetype(sizeof out - stream_.avail_out);
            entry.packed += quint32(made);
            put(QByteArray(out, made));
        } while (stream_.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    }
    void put(const QByteArray &bytes) {
        if (quint64(offset_) + quint64(bytes.size()) > 0xFFFFFFFFu)
            throw FileError(FileError::Cause::Other, file_.target(),
                            QStringLiteral("the spreadsheet would pass 4 GB"));
        file_.write(bytes);
        offset_ += quint32(bytes.size());
    }

    ReplacementFile &file_;
    std::vector<Entry> entries_;
    z_stream stream_{};
    bool deflating_ = false;
    quint32 offset_ = 0;
};

// Cells as the content's XML, handed to the zip in large pieces.
class OdsCells {
public:
    // Without a zip, it only gathers cells for take().
    explicit OdsCells(Zip *zip = nullptr)
        : zip_(zip) {}
    void heading(std::initializer_list<int> columns) {
        // The format wants the table's columns named before its rows.
        out_ += "<table:table-column table:number-columns-repeated=\"" +
                QByteArray::number(qsizetype(columns.size())) + "\"/>\n";
        for (int column : columns)
            text(QString::fromUtf16(kHeadings[column]).toUtf8());
        endRow();
    }
    void none() {
        openRow();
        out_ += "<table:table-cell/>";
    }
    void text(std::string_view bytes) {
        openRow();
        out_ += "<table:table-cell office:value-type=\"string\"><text:p>";
        paragraph(bytes);
        out_ += "</text:p></table:table-cell>";
    }
    void text(const QByteArray &bytes) { text(std::string_view(bytes.data(), bytes.size())); }
    void number(qint64 value) {
        openRow();
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        const QByteArray shown(digits, end - digits);
        out_ += "<table:table-cell office:value-type=\"float\" office:value=\"" + shown +
                "\"><text:p>" + shown + "</text:p></table:table-cell>";
    }
    void raw(const QByteArray &cells) {
        openRow();
        out_ += cells;
    }
    void endRow() {
        openRow();
        out_ += "</table:table-row>\n";
        rowOpen_ = false;
        if (zip_ && out_.size() >= (1 << 20)) {
            zip_->deflate(out_);
            out_.clear();
        }
    }
    void finish() {
        zip_->deflate(out_);
        out_.clear();
    }
    QByteArray take() {
        QByteArray taken = out_;
        out_.clear();
        return taken;
    }

private:
    void openRow() {
        if (zip_ && !rowOpen_)
            out_ += "<table:table-row>";
        rowOpen_ = true;
    }
    // The text as the paragraphs of a cell: a line break starts another; blanks that XML would
    // fold, tabs and characters XML cannot hold are written as the format says.
    void paragraph(std::string_view bytes) {
        bool blankBefore = true; // a paragraph's first blank is folded too
        for (size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            const bool blank = c == ' ';
            if (blank && blankBefore)
                out_ += "<text:s/>";
            else if (c == '&')
                out_ += "&amp;";
            else if (c == '<')
                out_ += "&lt;";
            else if (c == '>')
                out_ += "&gt;";
            else if (c == '\t')
                out_ += "<text:tab/>";
            else if (c == '\r' || c == '\n') {
                if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                    ++i;
                out_ += "</text:p><text:p>";
                blankBefore = true;
                continue;
            } else if (static_cast<unsigned char>(c) < 0x20)
                out_ += "\xEF\xBF\xBD"; // no XML 1.0 document may hold it
            else
                out_ += c;
            blankBefore = blank;
        }
    }

    Zip *zip_;
    QByteArray out_;
    bool rowOpen_ = false;
};

template <class Walk> void writeOds(const FilePath &path, FileCalls &files, Walk walk) {
    ReplacementFile file(path, files);
    Zip zip(file);
    // The type first and unpacked, so that it can be read at a fixed place.
    zip.stored("mimetype", kMimeType);
    zip.stored("META-INF/manifest.xml", kManifest);
    zip.begin("content.xml");
    zip.deflate(kContentHead);
    OdsCells cells(&zip);
    walk(cells);
    cells.finish();
    zip.deflate(kContentTail);
    zip.end();
    zip.finish();
    file.commit();
}

} // namespace

void writeCatalogueOds(Connection &connection, const FilePath &path, FileCalls &files,
                       const ExportProgress &progress) {
    writeOds(path, files,
             [&](OdsCells &cells) { cells::wholeCatalogue(connection, cells, progress); });
}

void writeCatalogueOds(TableCursor &view, const FilePath &path, FileCalls &files,
                       const ExportProgress &progress) {
    writeOds(path, files, [&](OdsCells &cells) { cells::viewRows(view, cells, progress); });
}

} // namespace store
