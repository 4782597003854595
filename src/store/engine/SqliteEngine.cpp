#include "store/engine/SqliteEngine.h"

#include "store/files/WorkingDirectory.h"

#include <QFile>
#include <sqlite3.h>
#include <sys/stat.h>
#include <utility>

namespace store::engine {

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

namespace {

void execOn(sqlite3 *db, const char *sql, const QString &path) {
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        raise(db, rc, path);
}

class SqliteStatement final : public StatementBackend {
public:
    SqliteStatement(sqlite3 *db, const QByteArray &sql, const QString &path)
        : db_(db)
        , path_(path) {
        check(sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt_, nullptr));
    }
    ~SqliteStatement() override { sqlite3_finalize(stmt_); }

    void bindNull(int index) override { check(sqlite3_bind_null(stmt_, index)); }
    void bindInt(int index, qint64 value) override {
        check(sqlite3_bind_int64(stmt_, index, value));
    }
    void bindText(int index, const QByteArray &utf8) override {
        check(
            sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
    }
    bool step() override {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE) {
            changes_ = sqlite3_changes(db_);
            return false;
        }
        raise(db_, rc, path_);
    }
    void reset() override {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    bool isNull(int column) const override {
        return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
    }
    bool holdsNumber(int column) const override {
        return sqlite3_column_type(stmt_, column) == SQLITE_INTEGER;
    }
    qint64 int64(int column) const override { return sqlite3_column_int64(stmt_, column); }
    std::string_view text(int column) const override {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
        return {text ? text : "", size_t(sqlite3_column_bytes(stmt_, column))};
    }
    // One look-up of the column's value rather than one per question: each sqlite3_column_*
    // call takes the connection's mutex. A statement is only ever used by one thread at a time.
    std::optional<qint64> int64OrNull(int column) const override {
        sqlite3_value *value = sqlite3_column_value(stmt_, column);
        if (sqlite3_value_type(value) == SQLITE_NULL)
            return std::nullopt;
        return sqlite3_value_int64(value);
    }
    std::optional<std::string_view> textOrNull(int column) const override {
        sqlite3_value *value = sqlite3_column_value(stmt_, column);
        if (sqlite3_value_type(value) == SQLITE_NULL)
            return std::nullopt;
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        return std::string_view(text ? text : "", size_t(sqlite3_value_bytes(value)));
    }
    int columnCount() const override { return sqlite3_column_count(stmt_); }
    QString columnName(int column) const override {
        return QString::fromUtf8(sqlite3_column_name(stmt_, column));
    }
    QByteArray declaredType(int column) const override {
        return QByteArray(sqlite3_column_decltype(stmt_, column));
    }
    qint64 changes() const override { return changes_; }

private:
    void check(int rc) {
        if (rc != SQLITE_OK)
            raise(db_, rc, path_);
    }
    sqlite3 *db_;
    QString path_;
    sqlite3_stmt *stmt_ = nullptr;
    qint64 changes_ = 0;
};

class SqliteDatabase final : public Database {
public:
    SqliteDatabase(sqlite3 *db, const QString &path)
        : Database(path)
        , db_(db) {}
    ~SqliteDatabase() override {
        if (db_)
            sqlite3_close_v2(db_);
    }
    void close() {
        const int rc = sqlite3_close(std::exchange(db_, nullptr));
        if (rc != SQLITE_OK)
            raise(nullptr, rc, path());
    }

    Engine engine() const override { return Engine::File; }
    std::unique_ptr<StatementBackend> prepare(const QByteArray &sql) override {
        return std::make_unique<SqliteStatement>(db_, sql, path());
    }
    void exec(const QByteArray &sql) override { execOn(db_, sql.constData(), path()); }
    // Takes the file's write lock at once: what the transaction reads stays as read.
    void beginWrite() override { execOn(db_, "BEGIN IMMEDIATE", path()); }
    // The first read takes the shared lock: from there on this connection sees one moment.
    void beginSnapshot() override {
        execOn(db_, "BEGIN; SELECT count(*) FROM sqlite_master", path());
    }
    void commit() override { execOn(db_, "COMMIT", path()); }
    void rollback() noexcept override {
        if (!sqlite3_get_autocommit(db_))
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    qint64 totalChanges() const override { return sqlite3_total_changes(db_); }
    qint64 dataVersion() override {
        SqliteStatement version(db_, "PRAGMA data_version", path());
        version.step();
        return version.int64(0);
    }
    void interrupt() noexcept override { sqlite3_interrupt(db_); }

    sqlite3 *handle() const { return db_; }

private:
    sqlite3 *db_;
};

} // namespace

sqlite3 *sqliteHandle(Database *db) {
    auto *file = dynamic_cast<SqliteDatabase *>(db);
    return file ? file->handle() : nullptr;
}

void closeFile(DbHandle db) {
    if (auto *file = dynamic_cast<SqliteDatabase *>(db.get()))
        file->close();
}

DbHandle openToRead(const QByteArray &fileName, const QString &path) {
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(fileName.constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    auto db = std::make_unique<SqliteDatabase>(raw, path);
    if (rc != SQLITE_OK)
        raise(raw, rc, path);
    sqlite3_extended_result_codes(raw, 1);
    return db;
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
    auto db = std::make_unique<SqliteDatabase>(raw, path);
    if (rc != SQLITE_OK)
        raise(raw, rc, path);
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, 5000);
    execOn(raw, "PRAGMA foreign_keys=ON", path);
    // Reading the schema is what tells a database from any other file.
    execOn(raw, "SELECT count(*) FROM sqlite_master", path);
    return db;
}

} // namespace store::engine
