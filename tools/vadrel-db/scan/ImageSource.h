#pragma once

#include "vadrel-db/scan/DiscSource.h"

#include <QHash>
#include <mutex>

namespace disc {

// An ISO 9660 image file or a block device (/dev/sr0), read with libcdio's libiso9660. Names
// come from Rock Ridge when the disc has it (as Linux mounts it), else from Joliet, else the
// ISO 9660 names without their ";1".
class ImageSource final : public DiscSource {
public:
    explicit ImageSource(const QByteArray &path); // throws ScanError
    ~ImageSource() override;

    QString sourceName() const override { return name_; }
    Volume volume() const override { return volume_; }
    const std::vector<DiscFile> &files() const override { return files_; }
    QByteArray readAt(const DiscFile &file, qint64 offset, qint64 length) const override;

private:
    struct Image;
    struct Extent {
        qint64 block = 0;
        qint64 size = 0;
    };
    struct Walk;

    QByteArray path_;
    QString name_;
    Volume volume_;
    std::vector<DiscFile> files_;
    QHash<QByteArray, Extent> extents_; // where each file's bytes are, by path
    std::unique_ptr<Image> image_;
    mutable std::mutex reading_; // one position in the image for every reader
};

} // namespace disc
