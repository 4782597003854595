#pragma once

#include "Engine.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace store {

class BackgroundRead;
class TableCursor;

// The single connection to the catalogue file. Opening never creates the file: only
// `vadrel-db init` does.
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

    bool Connected() const { return db_ != nullptr; }
    // True opens the file named by the connection string, false closes it and every cursor
    // on it. Setting the value it already has does nothing.
    void setConnected(bool connected);

    // For the cursors of this connection and the backup.
    sqlite3 *handle() const;

    // Opens the cursors at once and reads their rows on a worker thread, all as the file stands
    // now. A cursor that cannot be opened (a missing table) fails here; the ones before it go on
    // loading.
    void openInBackground(const std::vector<TableCursor *> &cursors);
    // Waits for the background read, if any, to end (before a write, which its lock would hold).
    void finishBackgroundRead();

    // While an operation waits for rows still being read: told Begin, then Tick every few
    // hundredths of a second (a chance to keep a progress indicator alive), then End.
    enum class Wait { Begin, Tick, End };
    void setWaitObserver(std::function<void(Wait)> observer) {
        waitObserver_ = std::move(observer);
    }
    void waitFor(const std::function<bool()> &done);

    // A row this program wrote through this connection. `wide`: the statement changed other rows
    // too (a trigger, a cascade).
    struct Change {
        QString table;
        qint64 key;
        bool wide;
    };
    void recordChange(Change change) { changes_.push_back(std::move(change)); }
    // The writes so far, in order. One entry per save by the user, so the list stays short.
    const std::vector<Change> &changes() const { return changes_; }
    size_t changeCount() const { return changes_.size(); }
    // Changes whenever another connection (another program) commits to the file.
    qint64 dataVersion() const;

private:
    friend class TableCursor;
    void attach(TableCursor *cursor);
    void detach(TableCursor *cursor);

    QString connectionString_;
    QByteArray fileName_;
    QString dateFormat_;
    engine::DbHandle db_;
    std::vector<TableCursor *> cursors_;
    std::vector<Change> changes_;
    std::function<void(Wait)> waitObserver_;
    std::unique_ptr<BackgroundRead> reader_; // ends before the connection closes
};

} // namespace store
