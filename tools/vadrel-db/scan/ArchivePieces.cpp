#include "vadrel-db/scan/ArchivePieces.h"

#include <algorithm>
#include <cstdio>

namespace disc {

namespace {

// Large enough that a listing costs few reads, small enough to cost no memory worth counting.
constexpr qint64 pieceSize = 256 * 1024;

la_ssize_t readPiece(archive *, void *data, const void **buffer) {
    auto &state = *static_cast<PieceReader *>(data);
    state.block = state.file->read(state.at, pieceSize);
    state.at += state.block.size();
    *buffer = state.block.constData();
    return la_ssize_t(state.block.size());
}

la_int64_t seekTo(archive *, void *data, la_int64_t offset, int whence) {
    auto &state = *static_cast<PieceReader *>(data);
    const qint64 from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? state.at : state.file->size;
    const qint64 to = from + offset;
    if (to < 0 || to > state.file->size)
        return ARCHIVE_FATAL;
    return state.at = to;
}

la_int64_t skipOver(archive *, void *data, la_int64_t request) {
    auto &state = *static_cast<PieceReader *>(data);
    const qint64 skipped = std::clamp<qint64>(request, 0, state.file->size - state.at);
    state.at += skipped;
    return skipped;
}

} // namespace

bool openOnPieces(archive *reader, PieceReader &state) {
    archive_read_set_read_callback(reader, readPiece);
    archive_read_set_seek_callback(reader, seekTo);
    archive_read_set_skip_callback(reader, skipOver);
    archive_read_set_callback_data(reader, &state);
    return archive_read_open1(reader) == ARCHIVE_OK;
}

std::optional<QByteArray> entryData(archive *reader, qsizetype limit, qsizetype &budget) {
    QByteArray data;
    char block[16384];
    for (;;) {
        const la_ssize_t got = archive_read_data(reader, block, sizeof block);
        if (got == 0)
            return data;
        if (got < 0)
            return std::nullopt;
        budget -= got;
        if (budget < 0 || data.size() + got > limit)
            return std::nullopt;
        data.append(block, got);
    }
}

Pieces piecesOf(const QByteArray &bytes) {
    return {[bytes](qint64 offset, qint64 length) { return bytes.mid(offset, length); },
            bytes.size()};
}

} // namespace disc
