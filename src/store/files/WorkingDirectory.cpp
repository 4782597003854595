#include "store/files/WorkingDirectory.h"

#include <QFile>
#include <cerrno>
#include <unistd.h>
#include <vector>

namespace store {

QByteArray workingDirectoryBytes() {
    // No fixed limit on the path: the buffer grows until the directory fits.
    std::vector<char> buffer(261);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return QByteArray(buffer.data());
}

QString workingDirectoryText() {
    return QFile::decodeName(workingDirectoryBytes());
}

QByteArray fileSystemPath(const QString &path) {
    const QByteArray bytes = workingDirectoryBytes();
    const QString text = QFile::decodeName(bytes);
    if (!bytes.isEmpty() && QFile::encodeName(text) != bytes && path.startsWith(text) &&
        (path.size() == text.size() || path[text.size()] == u'/'))
        return bytes + QFile::encodeName(path.mid(text.size()));
    return QFile::encodeName(path);
}

QByteArray joinedPath(const QByteArray &folder, const QByteArray &name) {
    return folder.isEmpty() ? name : folder.endsWith('/') ? folder + name : folder + '/' + name;
}

} // namespace store
