#pragma once

#include "vadrel-db/scan/DiscSource.h"

namespace disc {

// The folder a mounted disc shows, listed and read by the bytes of its names, which need not be
// UTF-8. Links to folders are not followed; a link to a file is read as the file.
class FolderSource final : public DiscSource {
public:
    explicit FolderSource(const QByteArray &path); // throws ScanError

    QString sourceName() const override { return name_; }
    Volume volume() const override { return {}; } // a mounted folder keeps no volume fields
    const std::vector<DiscFile> &files() const override { return files_; }
    QByteArray readAt(const DiscFile &file, qint64 offset, qint64 length) const override;

private:
    struct Seen;
    void list(int folder, const QByteArray &relative, int depth, Seen &seen);

    QByteArray root_; // absolute
    QString name_;
    std::vector<DiscFile> files_;
};

} // namespace disc
