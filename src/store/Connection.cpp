#include "Connection.h"

#include "BackgroundRead.h"
#include "Conversions.h"
#include "TableCursor.h"

#include <QFile>
#include <QScopeGuard>
#include <algorithm>
#include <sqlite3.h>

namespace store {

Connection::Connection(QObject *parent)
    : QObject(parent) {}

Connection::~Connection() {
    reader_.reset();
    for (TableCursor *cursor : cursors_) {
        cursor->pending_.reset();
        cursor->connection_ = nullptr;
    }
}

void Connection::setConnectionString(const QString &text) {
    connectionString_ = text;
    fileName_.clear();
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
        db_ = engine::open(fileName(), path, false);
    } else {
        reader_.reset(); // stops it: nothing read now would be shown
        for (TableCursor *cursor : cursors_) {
            cursor->setActive(false);
            // A copy kept for patching belongs to this opening of the file.
            cursor->retained_ = Snapshot();
        }
        db_.reset();
        changes_.clear();
    }
}

void Connection::openInBackground(const std::vector<TableCursor *> &cursors) {
    finishBackgroundRead();
    const size_t position = changeCount();
    const qint64 version = dataVersion(); // before the reader's moment: a write between shows
    auto reader = std::make_unique<BackgroundRead>(fileName(), dataSource());
    connect(
        reader.get(), &BackgroundRead::rowsReady, this,
        [this] {
            for (TableCursor *cursor : std::vector<TableCursor *>(cursors_))
                cursor->adoptIfReady();
        },
        Qt::QueuedConnection);
    std::vector<TableCursor *> opened;
    // The reading starts, and bound controls hear of the opened cursors, also when a later
    // cursor fails to open.
    auto begin = qScopeGuard([&] {
        reader->start();
        reader_ = std::move(reader);
        for (TableCursor *cursor : opened)
            emit cursor->dataSetChanged();
    });
    for (TableCursor *cursor : cursors) {
        cursor->openFrom(*reader, position, version);
        opened.push_back(cursor);
    }
}

void Connection::finishBackgroundRead() {
    if (reader_)
        reader_->finish();
    reader_.reset();
}

void Connection::waitFor(const std::function<bool()> &done) {
    if (done())
        return;
    if (waitObserver_)
        waitObserver_(Wait::Begin);
    auto end = qScopeGuard([this] {
        if (waitObserver_)
            waitObserver_(Wait::End);
    });
    while (!done())
        if (waitObserver_)
            waitObserver_(Wait::Tick);
}

qint64 Connection::dataVersion() const {
    engine::Statement version(handle(), "PRAGMA data_version", dataSource());
    version.step();
    return sqlite3_column_int64(version.get(), 0);
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
