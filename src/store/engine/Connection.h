#pragma once

#include "Engine.h"

#include <QObject>
#include <QString>
#include <functional>

namespace store {

// The single connection to the catalogue: a file, or a server when an opener for one is given.
// Opening never creates the catalogue: only `vadrel-db init` does. It knows nothing of the
// cursors on it: they hear `closing`.
class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(QObject *parent = nullptr);
    ~Connection() override;

    // "Provider=...;Data Source=<file>;Persist Security Info=False"; only the data source
    // part is used here.
    QString ConnectionString() const { return connectionString_; }
    void setConnectionString(const QString &text);
    QString dataSource() const;
    // The data source's file name as the file system's own bytes, when the caller has them (a
    // folder's name that is not valid text would not survive the connection string).
    void setFileName(const QByteArray &bytes) { fileName_ = bytes; }
    QByteArray fileName() const;

    // The short date format in which the cursors of this connection show dates as text and read
    // text back; the regional one until the program hands over the one its windows use.
    QString dateFormat() const;
    void setDateFormat(const QString &format) { dateFormat_ = format; }

    // A catalogue that is not the data source's file (a server): how to open a connection to it.
    // The data source then only names it for the user.
    using Opener = std::function<engine::DbHandle()>;
    void setOpener(Opener opener) { opener_ = std::move(opener); }
    bool isServer() const { return bool(opener_); }
    // A second connection to the same catalogue, for reading on another thread; `another` is
    // the same as a function that may be called on any thread.
    engine::DbHandle openAnother() const { return another()(); }
    Opener another() const;

    bool Connected() const { return db_ != nullptr; }
    // True opens the file named by the connection string, false closes it (`closing` first, so
    // the cursors on it close too). Setting the value it already has does nothing.
    void setConnected(bool connected);

    // For the cursors of this connection and the backup.
    engine::Database *handle() const;

    // Changes whenever another connection (another program) commits to the catalogue.
    qint64 dataVersion() const;

signals:
    // The file is about to be closed.
    void closing();

private:
    QString connectionString_;
    QByteArray fileName_;
    QString dateFormat_;
    Opener opener_;
    engine::DbHandle db_;
};

} // namespace store
