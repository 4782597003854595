#include "vadrel-db/scan/DiscSource.h"

#include "vadrel-db/scan/FolderSource.h"
#include "vadrel-db/scan/ImageSource.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace disc {

std::unique_ptr<DiscSource> openDiscSource(const QByteArray &path) {
    const std::string shown = path.toStdString();
    // A name with a NUL in it would silently stand for a shorter one.
    if (path.isEmpty() || path.contains('\0'))
        throw ScanError("no such file or folder: " + shown);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw ScanError("no such file or folder: " + shown);
        throw ScanError("cannot read " + shown + ": " + std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode))
        return std::make_unique<FolderSource>(path);
    if (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))
        return std::make_unique<ImageSource>(path);
    throw ScanError("not a disc image or folder: " + shown);
}

} // namespace disc
