#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the files on a disc say about the program they hold, each read with the library made for
// its format. None throws: a file that is not of the format, or is damaged, says so in `result`.

namespace disc {

enum class ReadResult {
    Read,    // the format's data was found and read
    Missing, // a sound file of the format without the data (a program without a version resource)
    Damaged, // not of the format, cut short or damaged
};

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

// A Debian package's control fields (libarchive). `description` is the synopsis, its first line.
struct DebFacts {
    ReadResult result = ReadResult::Damaged;
    QString package, version, maintainer, homepage, description, section;
};
DebFacts readDebControl(const QByteArray &bytes);

// The names of the files a zip archive holds, listed without extracting them (libarchive).
struct ZipFacts {
    ReadResult result = ReadResult::Damaged;
    QStringList names;
};
ZipFacts listZip(const QByteArray &bytes);

} // namespace disc
