#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace store {

class BackgroundRead;
class Connection;
class TableCursor;

// What the cursors of one connection share: the background read that fills them, the wait for
// it, and the list of this program's writes that their refresh patches in. One per connection,
// made on first use and owned by it; the connection itself knows nothing of cursors.
class CursorSession : public QObject {
    Q_OBJECT
public:
    static CursorSession &of(Connection &connection);
    ~CursorSession() override;

    Connection &connection() const { return *connection_; }

    // Opens the cursors at once and reads their rows on a worker thread, all as the file stands
    // now. A cursor that cannot be opened (a missing table) fails here; the ones before it go on
    // loading.
    void openInBackground(const std::vector<TableCursor *> &cursors);
    // Waits for the background read, if any, to end (before a write, which its lock would hold).
    void finishBackgroundRead();
    // Runs on the reading thread once every cursor's first rows are out, before the rest is
    // read: tests hold the reading there to see the first rows alone.
    void setBetweenStages(std::function<void()> hook) { betweenStages_ = std::move(hook); }

    // The cursor whose rows are being read now, how many are in and how many are expected (-1
    // until known); no cursor when nothing is being read.
    struct Reading {
        const TableCursor *cursor = nullptr;
        qint64 read = 0;
        qint64 expected = -1;
    };
    Reading reading() const;

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
    void recordChange(Change change) {
        changes_.push_back(std::move(change));
        emit changed(changes_.back());
    }
    // The writes since the file was opened, in order. One entry per save by the user, so the
    // list stays short.
    const std::vector<Change> &changes() const { return changes_; }
    size_t changeCount() const { return changes_.size(); }

signals:
    void readingStarted(); // a background read began: reading() says how it goes
    // A write was recorded, for what keeps copies of rows outside the cursors.
    void changed(const store::CursorSession::Change &change);

private:
    explicit CursorSession(Connection &connection);
    friend class TableCursor;
    void attach(TableCursor *cursor);
    void detach(TableCursor *cursor);
    void closeCursors();

    Connection *connection_;
    std::vector<TableCursor *> cursors_;
    std::vector<Change> changes_;
    std::function<void(Wait)> waitObserver_;
    std::function<void()> betweenStages_;
    std::unique_ptr<BackgroundRead> reader_;
};

} // namespace store
