#include "DiscImages.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

DiscImages::DiscImages() {
    if (!dir_.isValid() || !QDir(dir_.path()).mkdir(QStringLiteral("disc")))
        ADD_FAILURE() << "cannot make a temporary folder";
}

// Qt cannot remove a name that is not UTF-8, so the folder's contents go by their bytes first.
DiscImages::~DiscImages() {
    ::nftw(
        folder().constData(),
        [](const char *path, const struct stat *, int, FTW *) {
            ::remove(path);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

QByteArray DiscImages::folder() const {
    return QFile::encodeName(dir_.path()) + "/disc";
}

bool DiscImages::makeFolder(const QByteArray &path) {
    QByteArray made = folder();
    for (const QByteArray &name : path.split('/')) {
        made += '/' + name;
        if (::mkdir(made.constData(), 0755) != 0 && errno != EEXIST) {
            ADD_FAILURE() << "cannot make " << made.toStdString() << ": " << std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool DiscImages::put(const QByteArray &path, const QByteArray &bytes) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0 && !makeFolder(path.left(slash)))
        return false;
    const QByteArray whole = folder() + '/' + path;
    const int fd = ::open(whole.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool written =
        fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    if (fd >= 0)
        ::close(fd);
    if (!written)
        ADD_FAILURE() << "cannot write " << whole.toStdString() << ": " << std::strerror(errno);
    return written;
}

bool DiscImages::setTime(const QByteArray &path, const QDateTime &modified) {
    const qint64 ms = modified.toMSecsSinceEpoch();
    const timespec times[2] = {{time_t(ms / 1000), long(ms % 1000) * 1'000'000},
                               {time_t(ms / 1000), long(ms % 1000) * 1'000'000}};
    const QByteArray whole = folder() + '/' + path;
    if (::utimensat(AT_FDCWD, whole.constData(), times, AT_SYMLINK_NOFOLLOW) == 0)
        return true;
    ADD_FAILURE() << "cannot set the time of " << whole.toStdString() << ": "
                  << std::strerror(errno);
    return false;
}

QByteArray DiscImages::makeImage(const QByteArray &name, const Options &options) const {
    const QByteArray image = QFile::encodeName(dir_.path()) + '/' + name;
    // The names are written as UTF-8 whatever the locale (es_AR.UTF-8 may not be installed,
    // and xorriso would then write '_' for every byte that is not ASCII in the Joliet names).
    QStringList arguments{
        QStringLiteral("-as"),   QStringLiteral("mkisofs"), QStringLiteral("-input-charset"),
        QStringLiteral("UTF-8"), QStringLiteral("-V"),      options.volumeId};
    if (!options.volumeSet.isEmpty())
        arguments << QStringLiteral("-volset") << options.volumeSet;
    if (!options.publisher.isEmpty())
        arguments << QStringLiteral("-publisher") << options.publisher;
    if (options.joliet)
        arguments << QStringLiteral("-J") << QStringLiteral("-joliet-long");
    arguments << (options.rockRidge ? QStringLiteral("-R") : QStringLiteral("--norock"));
    if (options.created.isValid())
        arguments << QStringLiteral("--modification-date=") +
                         options.created.toUTC().toString(QStringLiteral("yyyyMMddhhmmss00"));
    arguments << QStringLiteral("-o") << QFile::decodeName(image) << QFile::decodeName(folder());

    QProcess xorriso;
    xorriso.start(QStringLiteral("xorriso"), arguments);
    if (!xorriso.waitForFinished(120'000) || xorriso.exitStatus() != QProcess::NormalExit ||
        xorriso.exitCode() != 0) {
        ADD_FAILURE() << "xorriso could not make " << image.toStdString() << ": "
                      << xorriso.readAllStandardError().toStdString();
        return {};
    }
    return image;
}
