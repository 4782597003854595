#include "vadrel-db/scan/ArchivePieces.h"
#include "vadrel-db/scan/FileFacts.h"

#include <archive.h>
#include <archive_entry.h>

#include <locale.h>
#include <memory>
#include <optional>

namespace disc {

namespace {

// More names than a disc's program archive would hold; the rest tell nothing new.
constexpr qsizetype nameLimit = 10000;
// What a zip without its central directory may unpack in all to find its entries.
constexpr qsizetype unpackLimit = 64 * 1024 * 1024;
// A description file is a few lines; a larger member of that name is something else.
constexpr qsizetype descriptionLimit = 64 * 1024;

// libarchive converts names through the thread's locale, which in the scan may be plain C: a
// UTF-8 one for the time of the listing makes every name come out whole, whatever the process's.
class Utf8Names {
public:
    Utf8Names()
        : utf8(::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr))) {
        if (utf8)
            previous = ::uselocale(utf8);
    }
    ~Utf8Names() {
        if (utf8) {
            ::uselocale(previous);
            ::freelocale(utf8);
        }
    }
    Utf8Names(const Utf8Names &) = delete;
    Utf8Names &operator=(const Utf8Names &) = delete;

private:
    locale_t utf8;
    locale_t previous = nullptr;
};

enum class Way { CentralDirectory, LocalHeaders };

Reader opened(PieceReader &state, Way way) {
    Reader reader(archive_read_new());
    if (way == Way::CentralDirectory)
        archive_read_support_format_zip_seekable(reader.get());
    else
        archive_read_support_format_zip_streamable(reader.get());
    // Names without the UTF-8 flag come from DOS-era tools, written in the OEM code page.
    archive_read_set_format_option(reader.get(), "zip", "hdrcharset", "CP437");
    if (!openOnPieces(reader.get(), state))
        return nullptr;
    return reader;
}

// Reads through the current entry's data; false when it is damaged or the bound is reached.
bool passedOver(archive *reader, qsizetype &budget) {
    const void *block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    for (;;) {
        const int status = archive_read_data_block(reader, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            return true;
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            return false;
        budget -= qsizetype(size);
        if (budget < 0)
            return false;
    }
}

} // namespace

ZipFacts listZip(const QByteArray &bytes) {
    return listZip(piecesOf(bytes));
}

ZipFacts listZip(const Pieces &file) {
    ZipFacts facts;
    if (file.size <= 0)
        return facts;
    const Utf8Names names;
    // The central directory lists every entry and lets each be passed over by seeking. Only a
    // zip cut before it is walked header by header, where passing over an entry may mean
    // unpacking it: that is done here, within a bound, so that a bomb costs nothing.
    Way way = Way::CentralDirectory;
    PieceReader state{&file};
    Reader reader = opened(state, way);
    if (!reader) {
        way = Way::LocalHeaders;
        state = PieceReader{&file};
        reader = opened(state, way);
    }
    if (!reader)
        return facts;
    archive_entry *entry = nullptr;
    qsizetype budget = unpackLimit;
    for (;;) {
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF) {
            if (way == Way::CentralDirectory)
                facts.result = ReadResult::Read;
            break;
        }
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            break;
        const char *utf8 = archive_entry_pathname_utf8(entry);
        const QString name = QString::fromUtf8(utf8 ? utf8 : archive_entry_pathname(entry));
        facts.names << name;
        if (facts.names.size() >= nameLimit) {
            facts.result = way == Way::CentralDirectory ? ReadResult::Read : ReadResult::Damaged;
            break;
        }
        const QString upper = name.toUpper();
        QByteArray *description = upper == u"FILE_ID.DIZ"    ? &facts.fileIdDiz
                                  : upper == u"DESCRIPT.ION" ? &facts.descriptIon
                                                             : nullptr;
        if (description && description->isEmpty()) {
            // Passed over like any other member when it is too large to be one.
            if (const auto data = entryData(reader.get(), descriptionLimit, budget))
                *description = *data;
            else if (way == Way::LocalHeaders)
                break;
        } else if (way == Way::LocalHeaders && !passedOver(reader.get(), budget)) {
            break;
        }
    }
    return facts;
}

} // namespace disc
