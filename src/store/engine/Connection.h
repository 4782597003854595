#pragma once

#include "store/engine/Engine.h"
#include "store/files/WorkingDirectory.h"

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

    // The catalogue's file, by the file system's own bytes (a folder's name need not be valid
    // text) and as the user reads it.
    void setFile(const FilePath &file);
    // The file as the user reads it, or the server as shown to the user; what errors name.
    QString dataSource() const { return file_.text; }

    // The short date format in which the cursors of this connection show dates as text and read
    // text back; the regional one until the program hands over the one its windows use.
    QString dateFormat() const;
    void setDateFormat(const QString &format) { dateFormat_ = format; }

    // A catalogue on a server: `shown` names it for the user, `opener` opens a connection to it.
    using Opener = std::function<engine::DbHandle()>;
    void setServer(const QString &shown, Opener opener);
    bool isServer() const { return bool(opener_); }
    // A second connection to the same catalogue, for reading on another thread; `another` is
    // the same as a function that may be called on any thread.
    engine::DbHandle openAnother() const { return another()(); }
    Opener another() const;

    bool Connected() const { return db_ != nullptr; }
    // True opens the file (or the server), false closes it (`closing` first, so
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
    FilePath file_{QByteArray(), QString()};
    QString dateFormat_;
    Opener opener_;
    engine::DbHandle db_;
};

} // namespace store
