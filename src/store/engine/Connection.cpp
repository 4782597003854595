#include "Connection.h"

#include "Conversions.h"

#include <QFile>

namespace store {

Connection::Connection(QObject *parent)
    : QObject(parent) {}

Connection::~Connection() = default;

void Connection::setConnectionString(const QString &text) {
    connectionString_ = text;
    fileName_.clear();
    opener_ = nullptr;
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

QByteArray Connection::fileName() const {
    return fileName_.isEmpty() ? QFile::encodeName(dataSource()) : fileName_;
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
        db_ = openAnother();
    } else {
        emit closing();
        db_.reset();
    }
}

Connection::Opener Connection::another() const {
    if (opener_)
        return opener_;
    return [file = fileName(), path = dataSource()] { return engine::open(file, path, false); };
}

qint64 Connection::dataVersion() const {
    return handle()->dataVersion();
}

engine::Database *Connection::handle() const {
    if (!db_)
        throw DatabaseError(DatabaseError::Kind::NotOpen, QStringLiteral("connection not open"),
                            dataSource());
    return db_.get();
}

} // namespace store
