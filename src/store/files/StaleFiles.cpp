#include "store/files/StaleFiles.h"

#include "store/files/WorkingDirectory.h"

#include <QFile>
#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

bool olderThan(const timespec &time, const timespec &start) {
    return time.tv_sec < start.tv_sec ||
           (time.tv_sec == start.tv_sec && time.tv_nsec < start.tv_nsec);
}

// Calls `remove` on every entry of `folder` named `prefix` + six random characters + `suffix`
// whose lstat says it is of `type` and older than this process.
template <typename Remove>
void removeStale(const QByteArray &folder, const QByteArray &prefix, const QByteArray &suffix,
                 mode_t type, Remove remove) {
    const timespec start = processStart();
    if (start.tv_sec == 0)
        return; // unknown: nothing can be told stale
    DIR *dir = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!isTemporaryName(name, prefix, suffix))
            continue;
        const QByteArray path = joinedPath(folder, name);
        struct stat info;
        if (::lstat(path.constData(), &info) == 0 && (info.st_mode & S_IFMT) == type &&
            olderThan(info.st_mtim, start))
            remove(path);
    }
    ::closedir(dir);
}

} // namespace

timespec processStart() {
    static const timespec start = [] {
        timespec result{};
        // Field 22 of /proc/self/stat, in clock ticks after boot; the command name before it
        // may hold spaces and ')' , so fields are counted after its last ')'.
        QFile stat(QStringLiteral("/proc/self/stat"));
        QFile system(QStringLiteral("/proc/stat"));
        if (!stat.open(QIODevice::ReadOnly) || !system.open(QIODevice::ReadOnly))
            return result;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 20)
            return result;
        const qint64 ticks = fields[19].toLongLong(); // field 22 counted from 3
        qint64 boot = 0;
        for (const QByteArray &entry : system.readAll().split('\n'))
            if (entry.startsWith("btime "))
                boot = entry.mid(6).trimmed().toLongLong();
        const long perSecond = ::sysconf(_SC_CLK_TCK);
        if (boot <= 0 || perSecond <= 0)
            return result;
        result.tv_sec = time_t(boot + ticks / perSecond);
        result.tv_nsec = long((ticks % perSecond) * (1000000000 / perSecond));
        return result;
    }();
    return start;
}

bool isTemporaryName(const QByteArray &entry, const QByteArray &prefix, const QByteArray &suffix) {
    if (entry.size() != prefix.size() + 6 + suffix.size() || !entry.startsWith(prefix) ||
        !entry.endsWith(suffix))
        return false;
    for (qsizetype i = prefix.size(); i < prefix.size() + 6; ++i) {
        const char c = entry[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

void removeStaleFiles(const QByteArray &folder, const QByteArray &prefix,
                      const QByteArray &suffix) {
    removeStale(folder, prefix, suffix, S_IFREG,
                [](const QByteArray &path) { ::unlink(path.constData()); });
}

void removeStaleFolders(const QByteArray &folder, const QByteArray &prefix) {
    removeStale(folder, prefix, {}, S_IFDIR, [](const QByteArray &path) {
        // Depth first and never through a link: only what lies inside goes.
        ::nftw(
            path.constData(),
            [](const char *entry, const struct stat *, int, FTW *) { return ::remove(entry); }, 16,
            FTW_DEPTH | FTW_PHYS);
    });
}

void removeStaleReplacements(const QByteArray &folder, const QByteArray &name) {
    removeStaleFiles(folder, '.' + name + '.');
}

void removeStaleImportFolders(const QByteArray &folder) {
    removeStaleFolders(folder, ".vadrel-import-");
}

} // namespace store
