#pragma once

#include "store/disc/DiscProposal.h"
#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
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
    QString name;    // the same path as text, in the disc's encoding (see nameFiles)
    qint64 size = 0;
    QDateTime modified; // UTC; invalid when unknown
    bool folder = false;
};

// The code page a disc's names are in when they are not all UTF-8.
enum class CodePage { Windows1252, Cp850 };

// A name's bytes as text: the whole disc's names are UTF-8 when every one of them is valid UTF-8,
// else all are read in `fallback`, as the disc was written by one system.
bool allUtf8(const std::vector<QByteArray> &names);
QString nameText(const QByteArray &bytes, bool utf8, CodePage fallback);

// A text safe to print on a terminal: control characters (an escape sequence in a disc's label)
// written as \xNN or \u{NNNN}, and backslashes doubled.
QByteArray printable(const QString &text);

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
    // What the listing left out and why: never silently.
    const std::vector<UnreadPart> &unread() const { return unread_; }

protected:
    // Records a part left out of the listing, by its path's bytes.
    void leaveOut(const QByteArray &path, const QString &why) { leftOut_.push_back({path, why}); }
    // Names every file and part left out once the listing is whole, by the disc's encoding.
    void nameFiles(std::vector<DiscFile> &files, CodePage fallback);

private:
    std::vector<std::pair<QByteArray, QString>> leftOut_;
    std::vector<UnreadPart> unread_;
};

// Why a part was left out, in the user's words.
namespace why {
QString linkOutside();
QString brokenLink();
QString tooMany(std::size_t most);
QString tooDeep(int deepest);
QString loop();
QString oversized(qint64 bytes);
QString pastEnd();
QString unreadable();
} // namespace why

// The bytes [offset, offset + length) of a file of `size` bytes lying in whole blocks of 2048 bytes
// from `block` (an image's), fewer past its end. They are read a megabyte at a time by
// `readBlocks(into, block, count, needed)`, which answers false when fewer than the `needed`
// first bytes of those blocks could be read; then nothing is returned.
std::optional<QByteArray> readFromBlocks(
    qint64 block, qint64 size, qint64 offset, qint64 length,
    const std::function<bool(char *into, qint64 block, long count, qint64 needed)> &readBlocks);

// Opens a folder, an image file or a block device by the bytes the system gives for its path.
// Throws ScanError when it cannot be read at all.
std::unique_ptr<DiscSource> openDiscSource(const QByteArray &path);

} // namespace disc
