#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <memory>
#include <stdexcept>
#include <vector>

namespace disc {

// A source that cannot be read at all (missing, not a disc image, not readable). English, for
// vadrel-db's stderr.
class ScanError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The fields an ISO 9660 volume carries; empty (and an invalid time) when the source has none,
// as a mounted folder.
struct Volume {
    QString identifier;
    QString volumeSet;
    QString publisher;
    QDateTime created; // UTC
};

struct DiscFile {
    QByteArray path; // relative to the disc's root, '/' between names, as the source spells it
    QString name;    // the same path as text (UTF-8; bytes that are not become U+FFFD)
    qint64 size = 0;
    QDateTime modified; // UTC; invalid when unknown
    bool folder = false;
};

// A disc to read: an image file or block device, or the folder a mounted disc shows.
class DiscSource {
public:
    virtual ~DiscSource() = default;
    // The source's own name: the folder's, or the image's file name without its extension.
    virtual QString sourceName() const = 0;
    virtual Volume volume() const = 0;
    // Every folder and file, each folder before what it holds.
    virtual const std::vector<DiscFile> &files() const = 0;
    // At most the first `limit` bytes of a file. Throws ScanError when it cannot be read.
    QByteArray read(const DiscFile &file, qint64 limit) const { return readAt(file, 0, limit); }
    // At most `length` bytes from `offset` (fewer past the file's end), so that a reader needing
    // a large file's tail or index reads only those. Throws ScanError when it cannot be read.
    virtual QByteArray readAt(const DiscFile &file, qint64 offset, qint64 length) const = 0;
};

// Opens a folder, an image file or a block device by the bytes the system gives for its path.
// Throws ScanError when it cannot be read at all.
std::unique_ptr<DiscSource> openDiscSource(const QByteArray &path);

} // namespace disc
