#include "store/engine/Connection.h"

#include "store/engine/Conversions.h"

namespace store {

Connection::Connection(QObject *parent)
    : QObject(parent) {}

Connection::~Connection() = default;

void Connection::setFile(const FilePath &file) {
    file_ = file;
    opener_ = nullptr;
}

void Connection::setServer(const QString &shown, Opener opener) {
    file_ = FilePath(QByteArray(), shown);
    opener_ = std::move(opener);
}

QString Connection::dateFormat() const {
    return dateFormat_.isEmpty() ? shortDateFormat() : dateFormat_;
}

void Connection::setConnected(bool connected) {
    if (connected == Connected())
        return;
    if (connected) {
        if (dataSource().isEmpty())
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
    return [file = file_] { return engine::open(file.bytes, file.text, false); };
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
