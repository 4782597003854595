#pragma once

#include "vadrel-db/scan/FileFacts.h"

#include <archive.h>
#include <memory>
#include <optional>

// libarchive reading a file through its pieces, seeking as the format asks: a zip's central
// directory is read from its end without the rest, a package's members without all of it in
// memory.

namespace disc {

struct PieceReader {
    explicit PieceReader(const Pieces *read)
        : file(read) {}
    const Pieces *file;
    qint64 at = 0;
    QByteArray block; // the piece libarchive is handed, kept until it asks for the next
};

// Opens `reader`, its formats and filters already chosen, on `state`; false when it cannot.
bool openOnPieces(archive *reader, PieceReader &state);

struct FreeReader {
    void operator()(archive *reader) const { archive_read_free(reader); }
};
using Reader = std::unique_ptr<archive, FreeReader>;

// The current entry's data, or nothing when it is damaged, more than `limit`, or overdraws
// `budget` (what the whole archive may still unpack, lessened by what this entry unpacks), so
// that a compressed bomb costs nothing.
std::optional<QByteArray> entryData(archive *reader, qsizetype limit, qsizetype &budget);

} // namespace disc
