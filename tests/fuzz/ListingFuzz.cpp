// The listing's lines: whatever the cells hold, handing them out in chunks of any size gives
// the same bytes as converting the whole at once, every chunk ends a line, and there is one
// CR LF-ended line per line and row written.
#include "Check.h"
#include "store/files/ListingLines.h"
#include "store/files/Windows1252.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

// The input read as a listing: after a byte for the chunk size, 0x01 starts a row, 0x02 a
// whole line, 0x03 followed by eight bytes a number cell, 0x00 ends a text cell.
void write(const uint8_t *data, size_t size, store::ListingLines &lines, int &endings) {
    bool inRow = false;
    std::string cell;
    auto endRow = [&] {
        if (inRow) {
            lines.endRow();
            ++endings;
        }
        inRow = false;
    };
    for (size_t i = 0; i < size; ++i) {
        const uint8_t byte = data[i];
        if (byte == 0x01 || byte == 0x02) {
            endRow();
            if (byte == 0x02) {
                size_t end = i + 1;
                while (end < size && data[end] > 0x03)
                    ++end;
                lines.line(QString::fromUtf8(reinterpret_cast<const char *>(data + i + 1),
                                             qsizetype(end - i - 1)));
                ++endings;
                i = end - 1;
            } else {
                lines.beginRow();
                inRow = true;
            }
        } else if (byte == 0x03 && inRow && i + 8 < size) {
            qint64 number;
            std::memcpy(&number, data + i + 1, sizeof number);
            lines.cell(number);
            i += 8;
        } else if (byte == 0x00 && inRow) {
            lines.cell(std::string_view(cell));
            cell.clear();
        } else if (inRow) {
            cell += char(byte);
        }
    }
    endRow();
    lines.finish();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const qsizetype chunk = 1 + data[0];
    QByteArray chunked;
    bool chunksEndLines = true;
    int endings = 0;
    store::ListingLines byChunk(
        [&](const QByteArray &bytes) {
            chunksEndLines = chunksEndLines && bytes.endsWith("\r\n");
            chunked += bytes;
        },
        chunk);
    write(data + 1, size - 1, byChunk, endings);

    QByteArray whole;
    int ignored = 0;
    store::ListingLines atOnce([&](const QByteArray &bytes) { whole += bytes; }, qsizetype(1)
                                                                                     << 40);
    write(data + 1, size - 1, atOnce, ignored);

    FUZZ_CHECK(chunked == whole);
    FUZZ_CHECK(chunksEndLines);
    FUZZ_CHECK(endings == 0 || whole.endsWith("\r\n"));
    FUZZ_CHECK(whole.count("\r\n") >= endings);
    return 0;
}
