#include "vadrel-db/scan/ImageSource.h"

#include <QSet>
#include <algorithm>
#include <cdio/iso9660.h>
#include <cdio/logging.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace disc {

namespace {

// A damaged or hostile image must not make the listing endless: a folder that holds one of its
// ancestors, folders nested without end, a folder claiming gigabytes of entries.
constexpr std::size_t kMostEntries = 100'000;
constexpr int kDeepest = 64;
constexpr qint64 kLargestFolder = 32 << 20; // 100 000 entries need far less

// libcdio's own handler ends the process on a logged error (a read error on a scratched disc)
// and prints warnings on damaged images; every failure is seen here in a return value instead.
void quiet(cdio_log_level_t, const char[]) {}

void quietLibcdio() {
    static const cdio_log_handler_t previous = cdio_log_set_handler(quiet);
    (void)previous;
}

struct Freed {
    void operator()(char *p) const { std::free(p); }
};

struct ListingFreed {
    void operator()(CdioList_t *listing) const { iso9660_filelist_free(listing); }
};
using Listing = std::unique_ptr<CdioList_t, ListingFreed>;

// The volume's texts with the blanks ISO 9660 pads them with taken away. Its characters should
// be ASCII; a mastering program that wrote its own code page most likely wrote Latin-1.
QString volumeText(char *raw) {
    const std::unique_ptr<char, Freed> owned(raw);
    QByteArray bytes(raw ? raw : "");
    while (bytes.endsWith(' '))
        bytes.chop(1);
    return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

// The Joliet text of a field the primary descriptor leaves blank.
QString orJoliet(const QString &primary, iso9660_t *iso,
                 bool (*joliet)(iso9660_t *, cdio_utf8_t **)) {
    if (!primary.isEmpty() || iso9660_ifs_get_joliet_level(iso) == 0)
        return primary;
    cdio_utf8_t *text = nullptr;
    joliet(iso, &text);
    return volumeText(text);
}

// The creation date is written as local time with its offset from GMT in quarter hours.
QDateTime createdUtc(iso9660_ltime_t date) {
    struct tm fields {};
    if (!iso9660_get_ltime(&date, &fields))
        return {};
    const QDateTime stated(QDate(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday),
                           QTime(fields.tm_hour, fields.tm_min, fields.tm_sec), Qt::UTC);
    int quarters = date.lt_gmtoff;
    if (quarters < -48 || quarters > 52)
        quarters = 0;
    const QDateTime utc =
        stated.isValid() ? stated.addSecs(-qint64(quarters) * 15 * 60) : QDateTime();
    // The offset can carry the last day of year 9999 past any year a date is written in.
    return utc.isValid() && utc.date().year() >= 1 && utc.date().year() <= 9999 ? utc : QDateTime();
}

// libcdio gives a file's time as broken-down local time.
QDateTime fromLocal(struct tm fields) {
    if (fields.tm_mday < 1)
        return {};
    fields.tm_isdst = -1;
    const time_t seconds = std::mktime(&fields);
    return seconds == time_t(-1) ? QDateTime() : QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

bool hasRockRidge(CdioList_t *listing) {
    for (CdioListNode_t *node = _cdio_list_begin(listing); node; node = _cdio_list_node_next(node))
        if (static_cast<iso9660_stat_t *>(_cdio_list_node_data(node))->rr.b3_rock == yep)
            return true;
    return false;
}

QString imageName(const QByteArray &path) {
    QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    if (name.size() > 4 && name.right(4).toLower() == ".iso")
        name.chop(4);
    return QString::fromUtf8(name);
}

} // namespace

struct ImageSource::Image {
    iso9660_t *iso = nullptr;
    ~Image() {
        if (iso)
            iso9660_close(iso);
    }
};

struct ImageSource::Walk {
    struct Entry {
        QByteArray raw;  // as libcdio names it, to look the folder up by
        QByteArray name; // as the disc shows it
        bool folder;
        qint64 block, size;
        QDateTime modified;
    };

    ImageSource &source;
    qint64 end; // no extent of a sound image reaches past the image or its stated size
    QSet<qint64> folders;
    bool full = false; // the entries' limit was reached

    std::vector<Entry> entries(CdioList_t *listing, const QByteArray &relative) {
        const int joliet = iso9660_ifs_get_joliet_level(source.image_->iso);
        std::vector<Entry> found;
        for (CdioListNode_t *node = _cdio_list_begin(listing); node;
             node = _cdio_list_node_next(node)) {
            const auto *st = static_cast<const iso9660_stat_t *>(_cdio_list_node_data(node));
            const QByteArray raw(st->filename);
            if (raw == ".") {
                folders.insert(st->lsn);
                continue;
            }
            if (raw.isEmpty() || raw == ".." || raw.contains('/'))
                continue;
            const bool rock = st->rr.b3_rock == yep;
            if (rock && S_ISLNK(st->rr.st_mode))
                continue; // a link holds no bytes; what it names is listed where it is
            const qint64 block = st->lsn, size = st->size;
            if (block < 0 || block * ISO_BLOCKSIZE + size > end) {
                source.leaveOut(relative.isEmpty() ? raw : relative + '/' + raw, why::pastEnd());
                continue;
            }
            QByteArray name = raw;
            if (!rock) {
                // Level 1 and up keeps the case the disc was written with; 0 would lower it.
                QByteArray plain(raw.size() + 1, '\0');
                plain.truncate(
                    iso9660_name_translate_ext(raw.constData(), plain.data(), std::max(joliet, 1)));
                name = plain;
            }
            // "..;1" comes out as "." once its version is taken away.
            if (!name.isEmpty() && name != "." && name != "..")
                found.push_back({raw, name, st->type == iso9660_stat_s::_STAT_DIR, block, size,
                                 fromLocal(st->tm)});
        }
        std::stable_sort(found.begin(), found.end(),
                         [](const Entry &a, const Entry &b) { return a.name < b.name; });
        // Two versions of a file (;1 and ;2) can come to one name; the first one stays.
        found.erase(std::unique(found.begin(), found.end(),
                                [](const Entry &a, const Entry &b) { return a.name == b.name; }),
                    found.end());
        return found;
    }

    void list(CdioList_t *listing, const QByteArray &relative, const QByteArray &lookup,
              int depth) {
        for (const Entry &entry : entries(listing, relative)) {
            if (source.files_.size() >= kMostEntries) {
                if (!full)
                    source.leaveOut(relative, why::tooMany(kMostEntries));
                full = true;
                return;
            }
            const QByteArray path = relative.isEmpty() ? entry.name : relative + '/' + entry.name;
            source.files_.push_back(
                {path, QString(), entry.folder ? 0 : entry.size, entry.modified, entry.folder});
            if (!entry.folder) {
                source.extents_.insert(path, {entry.block, entry.size});
                continue;
            }
            if (depth + 1 >= kDeepest) {
                source.leaveOut(path, why::tooDeep(kDeepest));
                continue;
            }
            if (entry.size > kLargestFolder) {
                source.leaveOut(path, why::oversized(entry.size));
                continue;
            }
            if (folders.contains(entry.block)) {
                source.leaveOut(path, why::loop());
                continue;
            }
            folders.insert(entry.block);
            const QByteArray inner = lookup + entry.raw + '/';
            const Listing contents(iso9660_ifs_readdir(source.image_->iso, inner.constData()));
            if (contents)
                list(contents.get(), path, inner, depth + 1);
            else // as on a scratched disc
                source.leaveOut(path, why::unreadable());
        }
    }
};

ImageSource::ImageSource(const QByteArray &path)
    : path_(path)
    , name_(imageName(path))
    , image_(std::make_unique<Image>()) {
    quietLibcdio();
    const std::string shown = path.toStdString();
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw ScanError("cannot read " + shown + ": " + std::strerror(errno));
    const off_t bytes = ::lseek(fd, 0, SEEK_END); // a block device's size too
    ::close(fd);

    image_->iso = iso9660_open_ext(path.constData(), ISO_EXTENSION_ALL);
    iso9660_pvd_t pvd{};
    if (!image_->iso || !iso9660_ifs_read_pvd(image_->iso, &pvd))
        throw ScanError("not a disc image or folder: " + shown);
    iso9660_t *iso = image_->iso;
    volume_.identifier =
        orJoliet(volumeText(iso9660_get_volume_id(&pvd)), iso, iso9660_ifs_get_volume_id);
    volume_.volumeSet =
        orJoliet(volumeText(iso9660_get_volumeset_id(&pvd)), iso, iso9660_ifs_get_volumeset_id);
    volume_.publisher =
        orJoliet(volumeText(iso9660_get_publisher_id(&pvd)), iso, iso9660_ifs_get_publisher_id);
    volume_.created = createdUtc(pvd.creation_date);

    // Rock Ridge lives in the ISO 9660 tree and keeps the names whole; Joliet cuts them at 64
    // characters. libcdio reads the Joliet tree whenever it is allowed to, so look without it.
    Listing root;
    if (iso9660_ifs_get_joliet_level(iso) > 0) {
        constexpr auto withoutJoliet =
            iso_extension_mask_t(ISO_EXTENSION_ALL & ~ISO_EXTENSION_JOLIET);
        if (iso9660_t *plain = iso9660_open_ext(path.constData(), withoutJoliet)) {
            Listing probe(iso9660_ifs_readdir(plain, "/"));
            if (probe && hasRockRidge(probe.get())) {
                iso9660_close(image_->iso);
                image_->iso = plain;
                root = std::move(probe);
            } else {
                iso9660_close(plain);
            }
        }
    }
    if (!root)
        root.reset(iso9660_ifs_readdir(image_->iso, "/"));
    if (!root)
        throw ScanError("cannot read the folders of " + shown +
                        ": the image is damaged or cut short");

    const qint64 stated = qint64(std::max(iso9660_get_pvd_space_size(&pvd), 0)) * ISO_BLOCKSIZE;
    // Rock Ridge and Joliet discs of the time were written on Windows or in Latin-1; the plain
    // 8.3 names of DOS mastering programs, in its code page.
    const CodePage codePage =
        hasRockRidge(root.get()) || iso9660_ifs_get_joliet_level(image_->iso) > 0
            ? CodePage::Windows1252
            : CodePage::Cp850;
    Walk walk{*this, std::max<qint64>(bytes, stated), {}};
    walk.list(root.get(), QByteArray(), "/", 0);
    nameFiles(files_, codePage);
}

ImageSource::~ImageSource() = default;

QByteArray ImageSource::readAt(const DiscFile &file, qint64 offset, qint64 length) const {
    const auto extent = extents_.constFind(file.path);
    if (extent == extents_.cend())
        throw ScanError("no file " + file.path.toStdString() + " in " + path_.toStdString());
    const std::lock_guard lock(reading_);
    auto bytes = readFromBlocks(extent->block, extent->size, offset, length,
                                [&](char *into, qint64 block, long count, qint64 needed) {
                                    return iso9660_iso_seek_read(image_->iso, into, lsn_t(block),
                                                                 count) >= needed;
                                });
    if (!bytes)
        throw ScanError("cannot read " + file.path.toStdString() + " in " + path_.toStdString() +
                        ": the image ends before the file does, or the disc is damaged");
    return *std::move(bytes);
}

} // namespace disc
