#pragma once

#include "store/cursor/CursorSession.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace store {

class Connection;
class TableCursor;

// Others' changes to a server's catalogue, shown as they happen: the server's notifications are
// heard on the connection's socket, and each open cursor reads the rows they name again by key.
// A cursor busy with an edit gets them once it is free. When notifications were missed (the
// connection was made again), `missed` is called to read everything again.
class ServerFeed : public QObject {
    Q_OBJECT
public:
    ServerFeed(Connection &connection, std::vector<TableCursor *> cursors,
               std::function<void()> missed, QObject *parent = nullptr);
    ~ServerFeed() override;

    // Takes what has arrived and hands it to the cursors; also run by the socket and a timer.
    void deliver();

signals:
    // The rows others changed, as they arrive, for what keeps copies of rows outside the cursors.
    void othersChanged(const std::vector<store::CursorSession::Change> &changes);

private:
    Connection &connection_;
    std::vector<TableCursor *> cursors_;
    std::function<void()> missed_;
    std::unique_ptr<QSocketNotifier> socket_;
    QTimer timer_;
    qint64 version_;
    std::vector<std::vector<CursorSession::Change>> waiting_; // per cursor, not yet taken
};

} // namespace store
