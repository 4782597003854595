#include "store/catalogue/ServerFeed.h"

#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "store/server/ServerEngine.h"

#include <QSocketNotifier>

namespace store {

namespace {
// How often the feed looks without being woken: the socket may have been read by a statement.
constexpr int kLookEveryMs = 250;
} // namespace

ServerFeed::ServerFeed(Connection &connection, std::vector<TableCursor *> cursors,
                       std::function<void()> missed, QObject *parent)
    : QObject(parent)
    , connection_(connection)
    , cursors_(std::move(cursors))
    , missed_(std::move(missed))
    , version_(connection.dataVersion())
    , waiting_(cursors_.size()) {
    connect(&timer_, &QTimer::timeout, this, &ServerFeed::deliver);
    timer_.start(kLookEveryMs);
}

ServerFeed::~ServerFeed() = default;

void ServerFeed::deliver() {
    if (!connection_.Connected())
        return;
    try {
        engine::Database *db = connection_.handle();
        // A broken connection's socket reads as ready for good: it is not watched until the
        // connection is made again, with a socket of its own.
        const int socket = server::noticeSocket(db);
        if (socket < 0) {
            socket_.reset();
        } else if (!socket_ || socket_->socket() != socket) {
            socket_ = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
            connect(socket_.get(), &QSocketNotifier::activated, this, &ServerFeed::deliver);
        }
        server::Notices taken = server::takeNotices(db);
        const qint64 heard = qint64(taken.changes.size());
        const bool missed = taken.version - version_ > heard;
        version_ = taken.version;
        if (missed) {
            for (auto &waiting : waiting_)
                waiting.clear();
            if (missed_)
                missed_();
            return;
        }
        if (!taken.changes.empty()) {
            std::vector<CursorSession::Change> changes;
            for (const server::Notice &notice : taken.changes)
                changes.push_back({notice.table, notice.key, false});
            emit othersChanged(changes);
        }
        for (size_t i = 0; i < cursors_.size(); ++i) {
            std::vector<CursorSession::Change> &waiting = waiting_[i];
            if (!cursors_[i]->Active()) {
                waiting.clear(); // it reads everything when it opens again
                continue;
            }
            for (const server::Notice &notice : taken.changes)
                waiting.push_back({notice.table, notice.key, false});
            if (!waiting.empty() && cursors_[i]->patchOthers(waiting, version_))
                waiting.clear();
        }
    } catch (const std::exception &) {
        // A lost connection: the user's next action says so and connects again; what waits
        // here is taken then.
    }
}

} // namespace store
