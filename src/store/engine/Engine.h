#pragma once

#include "store/engine/DatabaseError.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <string_view>

// The engine room's boundary: a database and its prepared statements, whatever engine is below
// (an SQLite file or a PostgreSQL server). Only the store includes this header; windows never see
// the engine. SQL is written once in the dialect both engines share; parameters are `?` or `?N`.
namespace store::engine {

class StatementBackend {
public:
    virtual ~StatementBackend() = default;
    virtual void bindNull(int index) = 0;
    virtual void bindInt(int index, qint64 value) = 0;
    virtual void bindText(int index, const QByteArray &utf8) = 0;
    virtual bool step() = 0;
    virtual void reset() = 0;
    virtual bool isNull(int column) const = 0;
    // Whether the value is held as a whole number (a file may hold text in a number's field).
    virtual bool holdsNumber(int column) const = 0;
    virtual qint64 int64(int column) const = 0;
    // Valid until the next step or reset.
    virtual std::string_view text(int column) const = 0;
    // The same as isNull and then int64 or text, in one call: a reading of every row makes
    // millions of them.
    virtual std::optional<qint64> int64OrNull(int column) const {
        return isNull(column) ? std::nullopt : std::optional<qint64>(int64(column));
    }
    virtual std::optional<std::string_view> textOrNull(int column) const {
        return isNull(column) ? std::nullopt : std::optional<std::string_view>(text(column));
    }
    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    // The type the column was declared with ("INTEGER", "DATE", "MEMO", ...), when known.
    virtual QByteArray declaredType(int column) const = 0;
    // Rows the last write changed.
    virtual qint64 changes() const = 0;
};

class Database {
public:
    enum class Engine { File, Server };
    explicit Database(const QString &path)
        : path_(path) {}
    virtual ~Database() = default;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    virtual Engine engine() const = 0;
    virtual std::unique_ptr<StatementBackend> prepare(const QByteArray &sql) = 0;
    // One or more statements without parameters.
    virtual void exec(const QByteArray &sql) = 0;
    // A write transaction holds out other writers of what it reads until it ends.
    virtual void beginWrite() = 0;
    // A read-only transaction that sees one moment until it ends.
    virtual void beginSnapshot() = 0;
    virtual void commit() = 0;
    virtual void rollback() noexcept = 0;
    // Rows changed by every write of this connection so far.
    virtual qint64 totalChanges() const = 0;
    // Changes whenever another connection commits a change.
    virtual qint64 dataVersion() = 0;
    // Stops what runs on this connection, from another thread.
    virtual void interrupt() noexcept = 0;
    // A table's or field's name quoted as this engine finds it again.
    virtual QByteArray quoted(const QString &name) const;
    // Appended to a select whose rows a write transaction is about to change.
    virtual QByteArray lockForUpdate() const { return {}; }

    // The catalogue's address as messages show it (a file's path, a server without password).
    const QString &path() const { return path_; }

private:
    QString path_;
};

using DbHandle = std::unique_ptr<Database>;

// Opens an existing SQLite file read-write (falling back to read-only as SQLite does when the
// file cannot be written), or creates it when `create` is set. Sets foreign keys and a busy
// timeout, and reads the schema so that a file that is not a database fails here, not later.
DbHandle open(const QString &path, bool create);
// The same with the file's name as the file system's own bytes (a folder's name need not be
// valid in any encoding); `path` is what errors show.
DbHandle open(const QByteArray &fileName, const QString &path, bool create);

class Statement {
public:
    Statement(Database *db, const QByteArray &sql, const QString &path = {});
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    void bindNull(int index) { backend_->bindNull(index); }
    void bindInt(int index, qint64 value) { backend_->bindInt(index, value); }
    void bindText(int index, const QByteArray &utf8) { backend_->bindText(index, utf8); }
    // True while a row is available; throws on failure.
    bool step() { return backend_->step(); }
    void reset() { backend_->reset(); }

    bool isNull(int column) const { return backend_->isNull(column); }
    bool holdsNumber(int column) const { return backend_->holdsNumber(column); }
    qint64 int64(int column) const { return backend_->int64(column); }
    std::string_view text(int column) const { return backend_->text(column); }
    std::optional<qint64> int64OrNull(int column) const { return backend_->int64OrNull(column); }
    std::optional<std::string_view> textOrNull(int column) const {
        return backend_->textOrNull(column);
    }
    QString string(int column) const;
    int columnCount() const { return backend_->columnCount(); }
    QString columnName(int column) const { return backend_->columnName(column); }
    QByteArray declaredType(int column) const { return backend_->declaredType(column); }
    qint64 changes() const { return backend_->changes(); }

private:
    std::unique_ptr<StatementBackend> backend_;
};

inline void exec(Database *db, const QByteArray &sql, const QString & = {}) {
    db->exec(sql);
}

// The first column of the first row as a number, 0 without rows.
qint64 queryNumber(Database *db, const QByteArray &sql);

// Holds the write from its start to its commit, so that no other program writes what it reads in
// between. Rolled back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(Database *db, const QString & = {});
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;
    void commit();

private:
    Database *db_;
    bool committed_ = false;
};

} // namespace store::engine
