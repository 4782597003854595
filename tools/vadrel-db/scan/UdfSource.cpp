#include "vadrel-db/scan/UdfSource.h"

#include <algorithm>
#include <cdio/logging.h>
#include <cdio/udf.h>

namespace disc {

namespace {

constexpr std::size_t kMostEntries = 100'000;
constexpr int kDeepest = 64;

void quiet(cdio_log_level_t, const char[]) {}

struct Entry {
    QByteArray name;
    bool folder;
    qint64 block, size;
    QDateTime modified;
    udf_dirent_t *inner; // the folder opened for listing, or null
};

} // namespace

struct UdfSource::Udf {
    udf_t *udf = nullptr;
    ~Udf() {
        if (udf)
            udf_close(udf);
    }
};

std::unique_ptr<UdfSource> UdfSource::open(const QByteArray &path) {
    // libcdio's own handler ends the process on a logged error.
    static const cdio_log_handler_t previous = cdio_log_set_handler(quiet);
    (void)previous;
    auto udf = std::make_unique<Udf>();
    udf->udf = udf_open(path.constData());
    if (!udf->udf)
        return nullptr;
    return std::unique_ptr<UdfSource>(new UdfSource(path, std::move(udf)));
}

UdfSource::UdfSource(const QByteArray &path, std::unique_ptr<Udf> udf)
    : path_(path)
    , udf_(std::move(udf)) {
    QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    if (name.size() > 4 && (name.right(4).toLower() == ".iso" || name.right(4).toLower() == ".udf"))
        name.chop(4);
    name_ = QString::fromUtf8(name);
    char label[256] = {};
    if (udf_get_volume_id(udf_->udf, label, sizeof label - 1) > 0)
        volume_.identifier = QString::fromUtf8(QByteArray(label).trimmed());
    udf_dirent_t *root = udf_get_root(udf_->udf, true, 0);
    if (!root)
        throw ScanError("cannot read the folders of " + path.toStdString() +
                        ": the image is damaged or cut short");
    folders_.insert(root->i_loc);
    // The root comes open for listing already (opening it again gives nothing); the listing
    // frees it at its end.
    list(root, QByteArray(), 0);
    // The names of UDF are Unicode as libudf gives them; a mastering program of the time that
    // wrote 8-bit names wrote them on Windows.
    nameFiles(files_, CodePage::Windows1252);
}

UdfSource::~UdfSource() = default;

// Takes `folder` (a listing libudf opened) and lists what it holds, sorted by name.
void UdfSource::list(void *opened, const QByteArray &relative, int depth) {
    auto *folder = static_cast<udf_dirent_t *>(opened);
    std::vector<Entry> entries;
    for (udf_dirent_t *child = folder; child && (child = udf_readdir(child));) {
        const char *raw = udf_get_filename(child);
        const QByteArray name(raw ? raw : "");
        if (child->b_parent || name.isEmpty() || name == "." || name == ".." || name.contains('/'))
            continue;
        if (files_.size() + entries.size() >= kMostEntries) {
            if (!full_)
                leaveOut(relative, why::tooMany(kMostEntries));
            full_ = true;
            udf_dirent_free(child);
            break;
        }
        uint32_t start = 0, end = 0;
        const bool placed = udf_get_lba(&child->fe, &start, &end);
        const time_t modified = udf_get_modification_time(child);
        Entry entry{name,
                    udf_is_dir(child),
                    placed ? qint64(child->i_part_start) + start : -1,
                    qint64(udf_get_file_length(child)),
                    modified > 0 ? QDateTime::fromSecsSinceEpoch(modified, Qt::UTC) : QDateTime(),
                    nullptr};
        if (entry.folder)
            entry.inner = udf_opendir(child);
        entries.push_back(std::move(entry));
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return a.name < b.name; });
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry &entry = entries[i];
        const QByteArray path = relative.isEmpty() ? entry.name : relative + '/' + entry.name;
        // Two records of one name: the first one stays, as on an ISO 9660 disc.
        const bool twice = i > 0 && entries[i - 1].name == entry.name;
        udf_dirent_t *inner = entry.inner;
        if (twice || full_) {
            if (inner)
                udf_dirent_free(inner);
            continue;
        }
        files_.push_back(
            {path, QString(), entry.folder ? 0 : entry.size, entry.modified, entry.folder});
        if (!entry.folder) {
            extents_.insert(path, {entry.block, entry.size});
            continue;
        }
        if (!inner) {
            leaveOut(path, why::unreadable());
        } else if (depth + 1 >= kDeepest) {
            leaveOut(path, why::tooDeep(kDeepest));
            udf_dirent_free(inner);
        } else if (folders_.contains(inner->i_loc)) {
            leaveOut(path, why::loop());
            udf_dirent_free(inner);
        } else {
            folders_.insert(inner->i_loc);
            list(inner, path, depth + 1);
        }
    }
}

QByteArray UdfSource::readAt(const DiscFile &file, qint64 offset, qint64 length) const {
    const auto extent = extents_.constFind(file.path);
    if (extent == extents_.cend() || extent->block < 0)
        throw ScanError("cannot read " + file.path.toStdString() + " in " + path_.toStdString());
    const std::lock_guard lock(reading_);
    auto bytes = readFromBlocks(extent->block, extent->size, offset, length,
                                [&](char *into, qint64 block, long count, qint64) {
                                    return udf_read_sectors(udf_->udf, into, lsn_t(block), count) ==
                                           DRIVER_OP_SUCCESS;
                                });
    if (!bytes)
        throw ScanError("cannot read " + file.path.toStdString() + " in " + path_.toStdString() +
                        ": the image ends before the file does, or the disc is damaged");
    return *std::move(bytes);
}

} // namespace disc
