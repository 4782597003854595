#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// What the files on a disc say about the program they hold, each read with the library made for
// its format. None throws: a file that is not of the format, or is damaged, says so in `result`.

namespace disc {

enum class ReadResult {
    Read,     // the format's data was found and read
    Missing,  // a sound file of the format without the data (a program without a version resource)
    Damaged,  // not of the format, cut short or damaged
    TooLarge, // sound as far as read, but what its reader needs passes a bound kept for safety
};

// A file read in pieces: at most `length` bytes from `offset` (fewer past its end; empty when it
// cannot be read), so that a reader takes of a large file only the parts it needs.
struct Pieces {
    std::function<QByteArray(qint64 offset, qint64 length)> read;
    qint64 size = 0;
};
// The pieces of bytes already in memory.
Pieces piecesOf(const QByteArray &bytes);

// A Windows program's version resource, from whichever language block it carries first (LIEF).
struct VersionFacts {
    ReadResult result = ReadResult::Damaged;
    QString productName, productVersion, fileVersion, companyName, fileDescription, legalCopyright,
        comments;
};
VersionFacts readVersionResource(const QByteArray &bytes);
// How many bytes of a Windows program hold its headers and sections, as LIEF reads them from the
// file's first bytes; 0 when it cannot tell. An installer's payload appended after the sections
// holds no version resource, so it need not be read.
qint64 programExtent(const QByteArray &head);

// A Windows Installer package's Property table and summary information (libmsi).
struct MsiFacts {
    ReadResult result = ReadResult::Damaged;
    QString productName, productVersion, manufacturer, aboutUrl, comments;
};
MsiFacts readMsi(const QByteArray &bytes);
MsiFacts readMsi(const Pieces &file);

// A Debian package's control fields (libarchive). `description` is the synopsis, its first line;
// `upstream` who made the program, from the package's copyright file, when it names anyone.
struct DebFacts {
    ReadResult result = ReadResult::Damaged;
    QString package, version, maintainer, homepage, description, section, upstream;
};
DebFacts readDebControl(const QByteArray &bytes);
DebFacts readDebControl(const Pieces &file);
// Who made the program, as a Debian copyright file says: its Upstream-Contact (machine-readable
// format), else its first copyright holder; empty when it names none.
QString upstreamOf(const QByteArray &copyright);

// The names of the files a zip archive holds, listed without extracting them (libarchive), and
// the description files it carries by the BBS convention (FILE_ID.DIZ, DESCRIPT.ION at its top),
// small ones only.
struct ZipFacts {
    ReadResult result = ReadResult::Damaged;
    QStringList names;
    QByteArray fileIdDiz, descriptIon;
};
ZipFacts listZip(const QByteArray &bytes);
ZipFacts listZip(const Pieces &file);

// An RPM package's header (librpm).
struct RpmFacts {
    ReadResult result = ReadResult::Damaged;
    QString name, version, vendor, licence, summary, url;
};
RpmFacts readRpm(const Pieces &file);

// What a Nullsoft installer says of its product: the name its script gave, and the name, version
// and publisher it writes to the list of installed programs. Missing for a program of another kind.
struct NsisFacts {
    ReadResult result = ReadResult::Damaged;
    QString name, version, publisher;
};
NsisFacts readNsis(const Pieces &file);

} // namespace disc
