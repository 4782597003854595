#pragma once

#include "DatabaseError.h"

#include <QByteArray>
#include <QString>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// Thin RAII layer over the SQLite C API. Only the store includes this header; windows never see
// the engine.
namespace store::engine {

struct DbCloser {
    void operator()(sqlite3 *db) const;
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;

DatabaseError::Kind kindOf(int resultCode);
[[noreturn]] void raise(sqlite3 *db, int resultCode, const QString &path);

// Opens an existing file read-write (falling back to read-only as SQLite does when the file
// cannot be written), or creates it when `create` is set. Sets foreign keys and a busy timeout,
// and reads the schema so that a file that is not a database fails here, not later.
DbHandle open(const QString &path, bool create);
// The same with the file's name as the file system's own bytes (a folder's name need not be
// valid in any encoding); `path` is what errors show.
DbHandle open(const QByteArray &fileName, const QString &path, bool create);

class Statement {
public:
    Statement(sqlite3 *db, const QByteArray &sql, const QString &path);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    void bindNull(int index);
    void bindInt(int index, qint64 value);
    void bindText(int index, const QByteArray &utf8);
    // True while a row is available; throws on failure.
    bool step();
    void reset();
    sqlite3_stmt *get() const { return stmt_; }

private:
    void check(int rc);
    sqlite3 *db_;
    sqlite3_stmt *stmt_ = nullptr;
    QString path_;
};

void exec(sqlite3 *db, const char *sql, const QString &path);

// Holds the file's write lock from its start to its commit, so that no other program writes in
// between. Rolled back unless committed.
class WriteTransaction {
public:
    WriteTransaction(sqlite3 *db, const QString &path);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;
    void commit();

private:
    sqlite3 *db_;
    QString path_;
    bool committed_ = false;
};

} // namespace store::engine
