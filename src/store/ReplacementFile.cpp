#include "ReplacementFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

FileError FileError::fromErrno(int error, const QString &path) {
    Cause cause = Cause::Other;
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        cause = Cause::NotWritable;
        break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        cause = Cause::DiskFull;
        break;
    case ENOENT:
    case ENOTDIR:
        cause = Cause::FolderMissing;
        break;
    default:
        break;
    }
    return FileError(cause, path, QString::fromLocal8Bit(std::strerror(error)));
}

ReplacementFile::ReplacementFile(const FilePath &target, FileCalls &calls)
    : calls_(calls)
    , target_(target.text) {
    // A link is followed: the file it points at is the one replaced, and the link stays.
    replaced_ = target.bytes;
    struct stat info;
    if (::lstat(replaced_.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
        QByteArray link(qsizetype(info.st_size > 0 ? info.st_size : PATH_MAX) + 1, '\0');
        const ssize_t size = ::readlink(replaced_.constData(), link.data(), size_t(link.size()));
        if (size > 0 && size < link.size()) {
            link.truncate(size);
            replaced_ =
                link.startsWith('/') ? link : replaced_.left(replaced_.lastIndexOf('/') + 1) + link;
        }
    }
    // A hidden name beside it: the rename stays within one file system.
    const qsizetype slash = replaced_.lastIndexOf('/');
    temporary_ = replaced_.left(slash + 1) + '.' + replaced_.mid(slash + 1) + ".XXXXXX";
    fd_ = calls_.makeTemporary(temporary_.data());
    if (fd_ < 0) {
        const int error = errno;
        temporary_.clear();
        throw FileError::fromErrno(error, target_);
    }
}

ReplacementFile::~ReplacementFile() {
    closeFile();
    if (!committed_ && !temporary_.isEmpty())
        ::unlink(temporary_.constData());
}

void ReplacementFile::closeFile() {
    if (fd_ >= 0)
        calls_.close(fd_);
    fd_ = -1;
}

void ReplacementFile::write(const QByteArray &bytes) {
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = calls_.write(fd_, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw FileError::fromErrno(errno, target_);
        }
        data += written;
        left -= written;
    }
}

void ReplacementFile::commit() {
    if (fd_ >= 0) {
        // mkstemp makes the file its owner's only: the result keeps the permissions of the file
        // it replaces, or gets the usual ones.
        struct stat old {};
        if (::stat(replaced_.constData(), &old) == 0) {
            ::fchmod(fd_, old.st_mode & 07777);
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd_, 0666 & ~mask);
        }
        // The data must be on the disk before the name points at it.
        const bool synced = calls_.sync(fd_) == 0;
        const int error = errno;
        const bool closed = calls_.close(fd_) == 0;
        fd_ = -1;
        if (!synced || !closed)
            throw FileError::fromErrno(synced ? errno : error, target_);
    }
    if (calls_.rename(temporary_.constData(), replaced_.constData()) != 0)
        throw FileError::fromErrno(errno, target_);
    committed_ = true;
}

} // namespace store
