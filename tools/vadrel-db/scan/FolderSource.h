#pragma once

#include "vadrel-db/scan/DiscSource.h"

#include <optional>

namespace disc {

// The folder a mounted disc shows, listed and read by the bytes of its names, which need not be
// UTF-8. Links are not followed: one leading off the folder is said in unread().
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
    std::optional<QString> linkLeavesDisc(const QByteArray &link) const;

    QByteArray root_;     // absolute
    QByteArray realRoot_; // with its links resolved
    QString name_;
    std::vector<DiscFile> files_;
};

} // namespace disc
