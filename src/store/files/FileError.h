#pragma once

#include <QString>
#include <stdexcept>

namespace store {

// A file the program writes besides the catalogue (the listing, a backup) could not be written.
// The windows say why from the cause; the system's own words are only a detail.
class FileError : public std::runtime_error {
public:
    enum class Cause {
        NotWritable,   // the folder or the file may not be written
        DiskFull,      // no room left (or the file grew past a limit)
        FolderMissing, // the folder does not exist
        CheckFailed,   // the copy was written but does not read back as the original
        Other,
    };

    FileError(Cause cause, const QString &path, const QString &detail)
        : std::runtime_error(detail.toStdString())
        , cause_(cause)
        , path_(path)
        , detail_(detail) {}

    // From the errno of a failed system call.
    static FileError fromErrno(int error, const QString &path);

    Cause cause() const { return cause_; }
    const QString &path() const { return path_; }
    const QString &detail() const { return detail_; }

private:
    Cause cause_;
    QString path_;
    QString detail_;
};

} // namespace store
