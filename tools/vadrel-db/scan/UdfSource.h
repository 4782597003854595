#pragma once

#include "vadrel-db/scan/DiscSource.h"

#include <QHash>
#include <QSet>
#include <memory>
#include <mutex>

namespace disc {

// A UDF image or block device without an ISO 9660 side (the DVDs of the 2000s), read with
// libcdio's libudf.
class UdfSource final : public DiscSource {
public:
    // Nothing when the image holds no UDF volume; throws ScanError when one cannot be listed.
    static std::unique_ptr<UdfSource> open(const QByteArray &path);
    ~UdfSource() override;

    QString sourceName() const override { return name_; }
    Volume volume() const override { return volume_; }
    const std::vector<DiscFile> &files() const override { return files_; }
    QByteArray readAt(const DiscFile &file, qint64 offset, qint64 length) const override;

private:
    struct Udf;
    struct Extent {
        qint64 block = -1; // -1: the bytes live in the file's own record, which is not read
        qint64 size = 0;
    };
    UdfSource(const QByteArray &path, std::unique_ptr<Udf> udf);
    void list(void *folder, const QByteArray &relative, int depth);

    QByteArray path_;
    QString name_;
    Volume volume_;
    std::vector<DiscFile> files_;
    QHash<QByteArray, Extent> extents_;
    std::unique_ptr<Udf> udf_;
    QSet<qint64> folders_; // where each folder read lies, so a folder leading back is seen
    bool full_ = false;
    mutable std::mutex reading_;
};

} // namespace disc
