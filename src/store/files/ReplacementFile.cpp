#include "store/files/ReplacementFile.h"

#include "store/files/StaleFiles.h"

#include <cerrno>
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
    // The name is replaced, never what it may link to: a link is replaced by the new file like
    // any other entry, wherever it points (inside this folder too), so nothing outside the
    // target's own name is ever written.
    replaced_ = target.bytes;
    // A hidden name beside it: the rename stays within one file system.
    const qsizetype slash = replaced_.lastIndexOf('/');
    const QByteArray folder = replaced_.left(slash + 1), name = replaced_.mid(slash + 1);
    removeStaleReplacements(folder, name); // left by a run that was killed
    temporary_ = folder + '.' + name + ".XXXXXX";
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
        // mkstemp makes the file its owner's only: the result keeps the permissions of the
        // regular file it replaces, or gets the usual ones (a link's target lends none).
        struct stat old {};
        if (::lstat(replaced_.constData(), &old) == 0 && S_ISREG(old.st_mode)) {
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
