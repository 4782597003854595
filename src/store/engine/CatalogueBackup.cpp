#include "store/engine/CatalogueBackup.h"

#include "store/engine/CatalogueCopy.h"
#include "store/engine/Connection.h"
#include "store/engine/SqliteEngine.h"
#include "store/files/ReplacementFile.h"
#include "store/schema/Schema.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

using SqliteHandle = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

constexpr qsizetype kChunk = qsizetype(1) << 20;
const QString kNotTheCatalogue = QStringLiteral("the copy does not read back as the catalogue");

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

// The rows of `table` on a connection of the engine's own; -1 when they cannot be counted.
qint64 countOn(sqlite3 *db, const char *table) {
    sqlite3_stmt *raw = nullptr;
    const QByteArray sql = QByteArray("SELECT count(*) FROM ") + table;
    sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &raw, nullptr);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(raw, sqlite3_finalize);
    return raw && sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int64(raw, 0) : -1;
}

// Reads `amount` bytes at `offset`, however many calls it takes.
bool readWhole(int fd, char *to, int amount, qint64 offset) {
    while (amount > 0) {
        const ssize_t got = ::pread(fd, to, size_t(amount), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        to += got;
        amount -= int(got);
        offset += got;
    }
    return true;
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

// The engine's online backup, page by page into the temporary file, then the whole copy read
// back: the integrity of every b-tree and the row counts of both tables.
void backupThroughEngine(Connection &connection, sqlite3 *source, ReplacementFile &file) {
    const QString &destination = file.target();
    sqlite3 *raw = nullptr;
    const int rc =
        sqlite3_open_v2(file.temporaryPath().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const SqliteHandle copy(raw, sqlite3_close_v2);
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
            engine::raise(source, step, connection.dataSource()); // held by another
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
        throw FileError(FileError::Cause::CheckFailed, destination, kNotTheCatalogue);
}

// A catalogue file in rollback-journal mode holds, under a shared lock, the whole catalogue of
// that moment and nothing else: its bytes copied as they are make a sound file. So the copy is
// checked for what copying could spoil, not walked b-tree by b-tree (at a million programs the
// full integrity check cost four times the copy): it must read back as the very bytes of the
// catalogue, still under the same lock, and open with the same row counts. The catalogue is read
// through a connection of its own, so the program's statements and locks are left alone, and
// through the engine's own file handle: a descriptor of ours closed on it would drop the
// process's locks. Returns false, with nothing written, where a copy of the file alone would not
// be the catalogue: in WAL mode (the last commits live beside it) or inside a transaction of the
// program's own.
bool copyPages(sqlite3 *source, const QString &sourcePath, ReplacementFile &file) {
    const QString &destination = file.target();
    const char *name = sqlite3_db_filename(source, "main");
    if (!name || !*name || !sqlite3_get_autocommit(source))
        return false;
    sqlite3 *raw = nullptr;
    int rc = sqlite3_open_v2(name, &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    const SqliteHandle reader(raw, sqlite3_close_v2);
    // The catalogue's failures: held by another is its own, anything else spoils the copy.
    auto failed = [&](int code) {
        if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)
            engine::raise(reader.get(), code, sourcePath);
        const QString detail =
            QString::fromUtf8(reader ? sqlite3_errmsg(reader.get()) : sqlite3_errstr(code));
        const bool damaged = (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB;
        throw FileError(damaged ? FileError::Cause::CheckFailed : FileError::Cause::Other,
                        destination, detail);
    };
    if (rc != SQLITE_OK)
        failed(rc);
    sqlite3_extended_result_codes(reader.get(), 1);
    sqlite3_busy_timeout(reader.get(), 5000); // as the program's own connection waits
    // The first read takes the shared lock (rolling back a hot journal first); it is held until
    // the reader is closed.
    if ((rc = sqlite3_exec(reader.get(), "BEGIN; SELECT count(*) FROM sqlite_master", nullptr,
                           nullptr, nullptr)) != SQLITE_OK)
        failed(rc);
    sqlite3_file *pages = nullptr;
    if ((rc = sqlite3_file_control(reader.get(), "main", SQLITE_FCNTL_FILE_POINTER, &pages)) !=
        SQLITE_OK)
        failed(rc);
    sqlite3_int64 size = 0;
    if (!pages || !pages->pMethods || (rc = pages->pMethods->xFileSize(pages, &size)) != SQLITE_OK)
        failed(rc != SQLITE_OK ? rc : SQLITE_IOERR);
    if (size < 100)
        return false; // no header to tell the journal by
    auto read = [&](QByteArray &chunk, qint64 offset) {
        const int amount = int(std::min<qint64>(chunk.size(), size - offset));
        if (const int code = pages->pMethods->xRead(pages, chunk.data(), amount, offset);
            code != SQLITE_OK)
            failed(code);
        return amount;
    };
    QByteArray chunk(kChunk, Qt::Uninitialized);
    int amount = read(chunk, 0);
    // The file format's write and read versions: 1 for a rollback journal, 2 for WAL.
    if (chunk.at(18) != 1 || chunk.at(19) != 1)
        return false;
    for (qint64 offset = 0;;) {
        file.write(QByteArray::fromRawData(chunk.constData(), amount));
        if ((offset += amount) == size)
            break;
        amount = read(chunk, offset);
    }

    // The row counts of the moment copied.
    qint64 rows[2];
    const char *tables[2] = {schema::cds::table, schema::programs::table};
    for (int i = 0; i < 2; ++i)
        if ((rows[i] = countOn(reader.get(), tables[i])) < 0)
            failed(sqlite3_extended_errcode(reader.get()));

    // Read back, against the catalogue read again under the same lock.
    const int fd = ::open(file.temporaryPath().constData(), O_RDONLY | O_CLOEXEC);
    struct stat written {};
    bool sound = fd >= 0 && ::fstat(fd, &written) == 0 && written.st_size == size;
    QByteArray back(kChunk, Qt::Uninitialized);
    for (qint64 offset = 0; sound && offset < size; offset += amount) {
        amount = read(chunk, offset);
        sound = readWhole(fd, back.data(), amount, offset) &&
                std::memcmp(chunk.constData(), back.constData(), size_t(amount)) == 0;
    }
    if (fd >= 0)
        ::close(fd);
    try {
        if (sound) {
            const engine::DbHandle copy = engine::openToRead(file.temporaryPath(), destination);
            for (int i = 0; i < 2; ++i)
                sound = sound && count(copy.get(), tables[i]) == rows[i];
        }
    } catch (const DatabaseError &error) {
        throw FileError(FileError::Cause::CheckFailed, destination, error.engineMessage());
    }
    if (!sound)
        throw FileError(FileError::Cause::CheckFailed, destination, kNotTheCatalogue);
    return true;
}

} // namespace

void backupCatalogue(Connection &connection, const FilePath &target, FileCalls &calls) {
    const QString &destination = target.text;
    sqlite3 *source = engine::sqliteHandle(connection.handle());
    ReplacementFile file(target, calls);
    if (!source)
        backupServer(connection.handle(), file.temporaryPath(), destination);
    else if (!copyPages(source, connection.dataSource(), file))
        backupThroughEngine(connection, source, file);
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
