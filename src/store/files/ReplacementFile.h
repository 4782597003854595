#pragma once

#include "store/files/FileCalls.h"
#include "store/files/FileError.h"
#include "store/files/WorkingDirectory.h"

#include <QByteArray>
#include <QString>

namespace store {

// A file that takes the place of `target` only once it is complete: it is written under a
// temporary name in the same folder and renamed over the target in one step, so a failure part
// way leaves the earlier file byte for byte as it was. A symbolic link named `target` is itself
// replaced; the file it points at is never written. Dropped without commit(), the temporary
// file is removed. Every failure throws FileError naming the target.
class ReplacementFile {
public:
    explicit ReplacementFile(const FilePath &target, FileCalls &calls = FileCalls::system());
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    const QString &target() const { return target_; }
    // For writers that open the file themselves (the database engine): its file-system name.
    const QByteArray &temporaryPath() const { return temporary_; }

    void write(const QByteArray &bytes);
    // Flushes the data to the disk and renames the file over the target.
    void commit();

private:
    void closeFile();

    FileCalls &calls_;
    QString target_;      // as the caller named it, for messages
    QByteArray replaced_; // the target's own name on the file system
    QByteArray temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

} // namespace store
