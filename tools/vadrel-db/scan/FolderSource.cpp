#include "vadrel-db/scan/FolderSource.h"

#include <QList>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace disc {

namespace {

// A damaged or odd file system (a bind mount inside itself) must not make the listing endless.
constexpr std::size_t kMostEntries = 100'000;
constexpr int kDeepest = 64;
constexpr qint64 kChunk = 1 << 20;

std::string shown(const QByteArray &path) {
    return path.toStdString();
}

QDateTime utc(const timespec &time) {
    return QDateTime::fromMSecsSinceEpoch(qint64(time.tv_sec) * 1000 + time.tv_nsec / 1'000'000,
                                          Qt::UTC);
}

QByteArray absolute(const QByteArray &path) {
    if (path.startsWith('/'))
        return path;
    char *here = ::getcwd(nullptr, 0);
    if (!here)
        throw ScanError("cannot read the folder " + shown(path) + ": " + std::strerror(errno));
    QByteArray whole = QByteArray(here) + '/' + path;
    std::free(here);
    return whole;
}

// The last name of the path as written, "." and ".." taken away, so /media/user/REVISTA/ gives
// the disc's label. Links are not resolved: the name the user chose is the one shown.
QString lastName(const QByteArray &absolutePath) {
    QList<QByteArray> names;
    for (const QByteArray &name : absolutePath.split('/')) {
        if (name.isEmpty() || name == ".")
            continue;
        if (name == "..") {
            if (!names.isEmpty())
                names.removeLast();
        } else {
            names.append(name);
        }
    }
    return names.isEmpty() ? QString() : QString::fromUtf8(names.last());
}

struct DirCloser {
    void operator()(DIR *dir) const { ::closedir(dir); }
};

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

struct FolderSource::Seen {
    std::set<std::pair<dev_t, ino_t>> folders;
    bool full = false; // the entries' limit was reached
};

// Why a link is left out: it leads off the disc or nowhere; nothing when it leads inside.
std::optional<QString> FolderSource::linkLeavesDisc(const QByteArray &link) const {
    char *target = ::realpath(link.constData(), nullptr);
    if (!target)
        return why::brokenLink();
    const QByteArray resolved(target);
    std::free(target);
    if (resolved == realRoot_ || resolved.startsWith(realRoot_ + '/'))
        return std::nullopt;
    return why::linkOutside();
}

FolderSource::FolderSource(const QByteArray &path)
    : root_(absolute(path))
    , name_(lastName(root_)) {
    const int folder = ::open(root_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        throw ScanError("cannot read the folder " + shown(path) + ": " + std::strerror(errno));
    struct stat st {};
    Seen seen;
    if (::fstat(folder, &st) == 0)
        seen.folders.insert({st.st_dev, st.st_ino});
    char *real = ::realpath(root_.constData(), nullptr);
    realRoot_ = real ? QByteArray(real) : root_;
    std::free(real);
    if (realRoot_ == "/")
        realRoot_.clear(); // every path lies inside "/"
    list(folder, QByteArray(), 0, seen);
    // A folder disc's names were written by the system that copied it: Windows, most likely.
    nameFiles(files_, CodePage::Windows1252);
}

// Takes `folder` (an open descriptor) and lists what it holds, sorted by name, each folder
// before its contents. A folder that cannot be opened is left out rather than failing the disc.
void FolderSource::list(int folder, const QByteArray &relative, int depth, Seen &seen) {
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(folder));
    if (!dir) {
        ::close(folder);
        return;
    }
    struct Entry {
        QByteArray name;
        struct stat st;
    };
    std::vector<Entry> entries;
    while (const dirent *found = ::readdir(dir.get())) {
        const QByteArray name(found->d_name);
        if (name == "." || name == "..")
            continue;
        if (files_.size() + entries.size() >= kMostEntries) {
            if (!seen.full)
                leaveOut(relative, why::tooMany(kMostEntries));
            seen.full = true;
            break;
        }
        Entry entry{name, {}};
        if (::fstatat(folder, found->d_name, &entry.st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        // A link is never listed: one leading inside the disc names what is listed where it
        // is, one leading off it would read the computer's own files.
        if (S_ISLNK(entry.st.st_mode)) {
            const QByteArray path = relative.isEmpty() ? name : relative + '/' + name;
            if (const auto why = linkLeavesDisc(root_ + '/' + path))
                leaveOut(path, *why);
            continue;
        }
        if (S_ISDIR(entry.st.st_mode) || S_ISREG(entry.st.st_mode))
            entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.name < b.name; });

    for (const Entry &entry : entries) {
        if (files_.size() >= kMostEntries) {
            if (!seen.full)
                leaveOut(relative, why::tooMany(kMostEntries));
            seen.full = true;
            return;
        }
        const bool isFolder = S_ISDIR(entry.st.st_mode);
        const QByteArray path = relative.isEmpty() ? entry.name : relative + '/' + entry.name;
        files_.push_back({path, QString(), isFolder ? 0 : qint64(entry.st.st_size),
                          utc(entry.st.st_mtim), isFolder});
        if (!isFolder)
            continue;
        if (depth + 1 >= kDeepest) {
            leaveOut(path, why::tooDeep(kDeepest));
            continue;
        }
        if (!seen.folders.insert({entry.st.st_dev, entry.st.st_ino}).second) {
            leaveOut(path, why::loop());
            continue;
        }
        const int inner = ::openat(folder, entry.name.constData(),
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (inner >= 0)
            list(inner, path, depth + 1, seen);
        else
            leaveOut(path, why::unreadable());
    }
}

QByteArray FolderSource::readAt(const DiscFile &file, qint64 offset, qint64 length) const {
    const QByteArray path = root_ + '/' + file.path;
    // Not blocking: a pipe put where a file was listed must fail, not hang the scan.
    // Not following a link put where a file was listed, which could lead off the disc.
    const Descriptor fd{::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC)};
    if (fd.fd < 0)
        throw ScanError("cannot read " + shown(path) + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd.fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw ScanError("cannot read " + shown(path) + ": not a file");

    const qint64 from = std::clamp<qint64>(offset, 0, st.st_size);
    QByteArray bytes(std::clamp<qint64>(length, 0, st.st_size - from), Qt::Uninitialized);
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::pread(fd.fd, bytes.data() + done, size_t(std::min(kChunk, bytes.size() - done)),
                    off_t(from + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw ScanError("cannot read " + shown(path) + ": " + std::strerror(errno));
        if (got == 0)
            break; // shorter than it was when listed
        done += got;
    }
    bytes.truncate(done);
    return bytes;
}

} // namespace disc
