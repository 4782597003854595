#include "CatalogueBackup.h"

#include "CatalogueCopy.h"
#include "Connection.h"
#include "ReplacementFile.h"
#include "Schema.h"
#include "SqliteEngine.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

// Failures of the engine while it writes the copy speak about the destination file; the system's
// own error, when there is one, says best why.
[[noreturn]] void copyFailed(sqlite3 *copy, int code, const QString &destination,
                             const QString &detail) {
    using Cause = FileError::Cause;
    if (const int error = copy ? sqlite3_system_errno(copy) : 0) {
        FileError failure = FileError::fromErrno(error, destination);
        if (failure.cause() != Cause::Other)
            throw failure;
    }
    Cause cause = Cause::Other;
    switch (code & 0xff) {
    case SQLITE_FULL:
        cause = Cause::DiskFull;
        break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        cause = Cause::NotWritable;
        break;
    default:
        break;
    }
    throw FileError(cause, destination, detail);
}

qint64 count(engine::Database *db, const char *table) {
    return engine::queryNumber(db, QByteArray("SELECT count(*) FROM ") + table);
}

// A catalogue on a server becomes a catalogue file: its rows at one moment, written into a new
// file with the schema every catalogue file has, then compared row by row with that moment.
void backupServer(engine::Database *source, const QByteArray &file, const QString &destination) {
    try {
        const engine::DbHandle copy = engine::open(file, destination, true);
        source->beginSnapshot();
        struct EndSnapshot {
            engine::Database *db;
            ~EndSnapshot() { db->rollback(); }
        } end{source};
        copy->exec("BEGIN");
        copy->exec(schema::createSql);
        engine::copyRows(source, copy.get());
        copy->commit();
        if (const QString difference = engine::compareRows(source, copy.get());
            !difference.isEmpty())
            throw FileError(FileError::Cause::CheckFailed, destination, difference);
    } catch (const DatabaseError &error) {
        if (error.path() != destination)
            throw; // the server's own failure
        throw FileError(FileError::Cause::Other, destination, error.engineMessage());
    }
}

} // namespace

void backupCatalogue(Connection &connection, const FilePath &target, FileCalls &calls) {
    const QString &destination = target.text;
    sqlite3 *source = engine::sqliteHandle(connection.handle());
    const QString sourcePath = connection.dataSource();
    ReplacementFile file(target, calls);
    if (!source) {
        backupServer(connection.handle(), file.temporaryPath(), destination);
        file.commit();
        return;
    }
    {
        sqlite3 *raw = nullptr;
        const int rc =
            sqlite3_open_v2(file.temporaryPath().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> copy(raw, sqlite3_close_v2);
        if (rc != SQLITE_OK)
            copyFailed(copy.get(), rc, destination, QString::fromUtf8(sqlite3_errstr(rc)));
        sqlite3_extended_result_codes(copy.get(), 1);
        sqlite3_backup *backup = sqlite3_backup_init(copy.get(), "main", source, "main");
        if (!backup)
            copyFailed(copy.get(), sqlite3_extended_errcode(copy.get()), destination,
                       QString::fromUtf8(sqlite3_errmsg(copy.get())));
        int step = sqlite3_backup_step(backup, -1); // all pages, one consistent read
        sqlite3_backup_finish(backup);
        if (step != SQLITE_DONE) {
            const int code = sqlite3_extended_errcode(copy.get());
            if (step == SQLITE_BUSY || step == SQLITE_LOCKED)
                engine::raise(source, step, sourcePath); // the catalogue is held by another
            copyFailed(copy.get(), code != SQLITE_OK ? code : step, destination,
                       QString::fromUtf8(sqlite3_errstr(step)));
        }
        // Read back what was written before it may replace anything.
        bool sound = false;
        try {
            const engine::DbHandle written = engine::openToRead(file.temporaryPath(), destination);
            engine::Statement check(written.get(), "PRAGMA integrity_check");
            sound = check.step() && check.text(0) == "ok";
            for (const char *table : {schema::cds::table, schema::programs::table})
                sound = sound && count(written.get(), table) == count(connection.handle(), table);
        } catch (const DatabaseError &error) {
            throw FileError(FileError::Cause::CheckFailed, destination, error.engineMessage());
        }
        if (!sound)
            throw FileError(FileError::Cause::CheckFailed, destination,
                            QStringLiteral("the copy does not read back as the catalogue"));
    }
    file.commit();
}

void copyCatalogueFile(const FilePath &source, const FilePath &destination, FileCalls &calls) {
    auto unreadable = [&](int error) {
        return DatabaseError(DatabaseError::Kind::Io, QString::fromLocal8Bit(std::strerror(error)),
                             source.text,
                             error == ENOENT || error == ENOTDIR ? DatabaseError::Cause::FileMissing
                                                                 : DatabaseError::Cause::Unknown);
    };
    const int fd = ::open(source.bytes.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw unreadable(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat before {};
    if (::fstat(fd, &before) != 0)
        throw unreadable(errno);
    if (!S_ISREG(before.st_mode))
        throw unreadable(EISDIR);

    ReplacementFile file(destination, calls);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    qint64 copied = 0;
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), size_t(chunk.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw unreadable(errno);
        if (got == 0)
            break;
        file.write(QByteArray::fromRawData(chunk.constData(), got));
        copied += got;
    }
    // A file that changed size meanwhile (another program writing it) gave no faithful copy.
    struct stat after {};
    if (copied != before.st_size || ::fstat(fd, &after) != 0 || after.st_size != copied)
        throw FileError(FileError::Cause::CheckFailed, destination.text,
                        QStringLiteral("%1 bytes copied of %2").arg(copied).arg(before.st_size));
    file.commit();
}

} // namespace store
