#include "Connection.h"

#include "Conversions.h"
#include "TableCursor.h"

#include <algorithm>

namespace store {

Connection::Connection(QObject *parent)
    : QObject(parent) {}

Connection::~Connection() {
    for (TableCursor *cursor : cursors_)
        cursor->connection_ = nullptr;
}

void Connection::setConnectionString(const QString &text) {
    connectionString_ = text;
}

QString Connection::dataSource() const {
    static const QString key = QStringLiteral("Data Source=");
    const qsizetype start = connectionString_.indexOf(key, 0, Qt::CaseInsensitive);
    if (start < 0)
        return {};
    const qsizetype from = start + key.size();
    // A folder name may hold ';', so the value runs up to the setting that follows it.
    static const QString next = QStringLiteral(";Persist Security Info=");
    qsizetype end = connectionString_.lastIndexOf(next, -1, Qt::CaseInsensitive);
    if (end < from)
        end = connectionString_.indexOf(u';', from);
    return connectionString_.mid(from, end < 0 ? -1 : end - from);
}

QString Connection::dateFormat() const {
    return dateFormat_.isEmpty() ? shortDateFormat() : dateFormat_;
}

void Connection::setConnected(bool connected) {
    if (connected == Connected())
        return;
    if (connected) {
        const QString path = dataSource();
        if (path.isEmpty())
            throw DatabaseError(DatabaseError::Kind::Io, QStringLiteral("no data source given"));
        db_ = engine::open(path, false);
    } else {
        for (TableCursor *cursor : cursors_)
            cursor->setActive(false);
        db_.reset();
    }
}

sqlite3 *Connection::handle() const {
    if (!db_)
        throw DatabaseError(DatabaseError::Kind::NotOpen, QStringLiteral("connection not open"),
                            dataSource());
    return db_.get();
}

void Connection::attach(TableCursor *cursor) {
    cursors_.push_back(cursor);
}

void Connection::detach(TableCursor *cursor) {
    cursors_.erase(std::remove(cursors_.begin(), cursors_.end(), cursor), cursors_.end());
}

} // namespace store
