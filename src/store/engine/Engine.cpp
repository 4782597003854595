#include "Engine.h"

#include "WorkingDirectory.h"

#include <QFile>
#include <sqlite3.h>
#include <sys/stat.h>

namespace store::engine {

void DbCloser::operator()(sqlite3 *db) const {
    sqlite3_close_v2(db);
}

DatabaseError::Kind kindOf(int resultCode) {
    switch (resultCode & 0xff) {
    case SQLITE_CONSTRAINT:
        return DatabaseError::Kind::Refused;
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return DatabaseError::Kind::Io;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return DatabaseError::Kind::Corrupt;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DatabaseError::Kind::Busy;
    default:
        return DatabaseError::Kind::Other;
    }
}

DatabaseError::Cause causeOf(int resultCode, const QString &message, const QString &path) {
    using Cause = DatabaseError::Cause;
    switch (resultCode) {
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return Cause::Relation;
    case SQLITE_CONSTRAINT_TRIGGER:
        // ON DELETE RESTRICT reports itself through the engine's own trigger, with this text.
        return message == QLatin1String("FOREIGN KEY constraint failed") ? Cause::Relation
                                                                         : Cause::Unknown;
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
        return Cause::DuplicateKey;
    case SQLITE_CONSTRAINT_NOTNULL:
        return Cause::MissingValue;
    case SQLITE_CONSTRAINT_CHECK:
        return Cause::OutOfRange;
    default:
        break;
    }
    switch (resultCode & 0xff) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return Cause::ReadOnly;
    case SQLITE_FULL:
        return Cause::DiskFull;
    case SQLITE_CANTOPEN: {
        if (path.isEmpty())
            return Cause::ReadOnly;
        // The engine turns every name into a whole path first, and takes none past its limit:
        // a name relative to a deep folder does not get round it.
        QByteArray whole = fileSystemPath(path);
        if (!whole.startsWith('/'))
            whole = workingDirectoryBytes() + '/' + whole;
        if (const sqlite3_vfs *vfs = sqlite3_vfs_find(nullptr);
            vfs && whole.size() > vfs->mxPathname)
            return Cause::PathTooLong;
        struct stat info;
        return ::stat(whole.constData(), &info) != 0 ? Cause::FileMissing : Cause::ReadOnly;
    }
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return Cause::NotDatabase;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Cause::Locked;
    case SQLITE_ERROR:
        return message.startsWith(QLatin1String("no such table")) ? Cause::MissingTable
                                                                  : Cause::Unknown;
    default:
        return Cause::Unknown;
    }
}

void raise(sqlite3 *db, int resultCode, const QString &path) {
    const QString message =
        db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(resultCode));
    throw DatabaseError(kindOf(resultCode), message, path, causeOf(resultCode, message, path));
}

void exec(sqlite3 *db, const char *sql, const QString &path) {
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        raise(db, rc, path);
}

WriteTransaction::WriteTransaction(sqlite3 *db, const QString &path)
    : db_(db)
    , path_(path) {
    exec(db_, "BEGIN IMMEDIATE", path_);
}

WriteTransaction::~WriteTransaction() {
    if (!committed_ && !sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void WriteTransaction::commit() {
    exec(db_, "COMMIT", path_);
    committed_ = true;
}

DbHandle open(const QString &path, bool create) {
    return open(QFile::encodeName(path), path, create);
}

DbHandle open(const QByteArray &fileName, const QString &path, bool create) {
    sqlite3 *raw = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(fileName.constData(), &raw, flags, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK)
        raise(db.get(), rc, path);
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), 5000);
    exec(db.get(), "PRAGMA foreign_keys=ON", path);
    // Reading the schema is what tells a database from any other file.
    exec(db.get(), "SELECT count(*) FROM sqlite_master", path);
    return db;
}

Statement::Statement(sqlite3 *db, const QByteArray &sql, const QString &path)
    : db_(db)
    , path_(path) {
    check(sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt_, nullptr));
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

void Statement::check(int rc) {
    if (rc != SQLITE_OK)
        raise(db_, rc, path_);
}

void Statement::bindNull(int index) {
    check(sqlite3_bind_null(stmt_, index));
}

void Statement::bindInt(int index, qint64 value) {
    check(sqlite3_bind_int64(stmt_, index, value));
}

void Statement::bindText(int index, const QByteArray &utf8) {
    check(sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    raise(db_, rc, path_);
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

} // namespace store::engine
