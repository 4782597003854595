#include "store/catalogue/HelpPages.h"

#include "store/engine/DatabaseError.h"
#include "store/files/StaleFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace store {

namespace {

const QString kPages = QStringLiteral(":/ayuda");

[[noreturn]] void fail(const QString &message, const QString &path) {
    throw DatabaseError(DatabaseError::Kind::Io, message, path);
}

// Removes the half-built folder unless it was moved into place.
struct TemporaryFolder {
    QString path;
    ~TemporaryFolder() {
        if (!path.isEmpty())
            QDir(path).removeRecursively();
    }
};

void writePage(const QString &name, const QString &folder) {
    QFile source(kPages + u'/' + name);
    QFile target(QDir(folder).filePath(name));
    if (!source.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read the help page %1").arg(name), source.fileName());
    // Written anew rather than copied, so the pages are writable like any file the user makes.
    if (!target.open(QIODevice::WriteOnly) || target.write(source.readAll()) != source.size() ||
        !target.flush())
        fail(QStringLiteral("cannot write %1: %2").arg(target.fileName(), target.errorString()),
             target.fileName());
}

} // namespace

QStringList helpPageNames() {
    return QDir(kPages).entryList(QDir::Files, QDir::Name);
}

bool installHelpPages(const QString &directory) {
    const QFileInfo folder(directory);
    if (!folder.exists())
        fail(QStringLiteral("the folder %1 does not exist").arg(directory), directory);
    if (!folder.isDir())
        fail(QStringLiteral("%1 is not a folder").arg(directory), directory);
    const QString target = QDir(directory).filePath(QStringLiteral("ayuda"));
    const QByteArray targetBytes = QFile::encodeName(target);
    struct stat existing;
    if (::lstat(targetBytes.constData(), &existing) == 0)
        return false;

    removeStaleFolders(QFile::encodeName(directory), ".ayuda."); // left by a killed init
    QByteArray pattern =
        QFile::encodeName(QDir(directory).filePath(QStringLiteral(".ayuda.XXXXXX")));
    if (!::mkdtemp(pattern.data()))
        fail(QStringLiteral("cannot write in the folder %1: %2")
                 .arg(directory, QString::fromLocal8Bit(std::strerror(errno))),
             directory);
    TemporaryFolder temporary{QFile::decodeName(pattern)};
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(pattern.constData(), 0777 & ~mask);
    for (const QString &name : helpPageNames())
        writePage(name, temporary.path);

    // rename() would replace an empty folder that appeared meanwhile, which loses nothing; a
    // folder with pages in it, or a file, stays.
    if (::rename(pattern.constData(), targetBytes.constData()) != 0) {
        if (errno == ENOTEMPTY || errno == EEXIST || errno == ENOTDIR || errno == EISDIR)
            return false;
        fail(QStringLiteral("cannot create %1: %2")
                 .arg(target, QString::fromLocal8Bit(std::strerror(errno))),
             target);
    }
    temporary.path.clear();
    return true;
}

} // namespace store
