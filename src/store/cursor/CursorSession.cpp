#include "store/cursor/CursorSession.h"

#include "store/cursor/BackgroundRead.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"

#include <QScopeGuard>
#include <algorithm>

namespace store {

namespace {
const QString kObjectName = QStringLiteral("vadrel-cursor-session");
}

CursorSession &CursorSession::of(Connection &connection) {
    if (auto *session =
            connection.findChild<CursorSession *>(kObjectName, Qt::FindDirectChildrenOnly))
        return *session;
    return *new CursorSession(connection);
}

CursorSession::CursorSession(Connection &connection)
    : QObject(&connection)
    , connection_(&connection) {
    setObjectName(kObjectName);
    connect(&connection, &Connection::closing, this, &CursorSession::closeCursors);
}

// Goes with its connection.
CursorSession::~CursorSession() {
    reader_.reset();
    for (TableCursor *cursor : cursors_) {
        cursor->pending_.reset();
        cursor->connection_ = nullptr;
        cursor->session_ = nullptr;
    }
}

void CursorSession::closeCursors() {
    reader_.reset(); // stops it: nothing read now would be shown
    for (TableCursor *cursor : cursors_) {
        cursor->setActive(false);
        // A copy kept for patching belongs to this opening of the file.
        cursor->retained_ = Snapshot();
    }
    changes_.clear();
}

void CursorSession::openInBackground(const std::vector<TableCursor *> &cursors) {
    finishBackgroundRead();
    const size_t position = changeCount();
    // Before the reader's moment: a write in between shows.
    const qint64 version = connection_->dataVersion();
    auto reader =
        std::make_unique<BackgroundRead>(connection_->openAnother(), connection_->dataSource());
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
        reader->start(betweenStages_);
        reader_ = std::move(reader);
        for (TableCursor *cursor : opened)
            emit cursor->dataSetChanged();
        if (!opened.empty())
            emit readingStarted();
    });
    for (TableCursor *cursor : cursors) {
        cursor->openFrom(*reader, position, version);
        opened.push_back(cursor);
    }
}

void CursorSession::finishBackgroundRead() {
    if (reader_)
        reader_->finish();
    reader_.reset();
}

CursorSession::Reading CursorSession::reading() const {
    // The cursors are read one after another: the first whose rows are not all in is the one
    // being read (or about to be).
    for (const TableCursor *cursor : cursors_) {
        const std::shared_ptr<PendingRows> &pending = cursor->pending_;
        if (pending && pending->rows.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return {cursor, pending->progress.read.load(std::memory_order_relaxed),
                    pending->progress.expected.load(std::memory_order_relaxed)};
    }
    return {};
}

void CursorSession::waitFor(const std::function<bool()> &done) {
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

void CursorSession::attach(TableCursor *cursor) {
    cursors_.push_back(cursor);
}

void CursorSession::detach(TableCursor *cursor) {
    cursors_.erase(std::remove(cursors_.begin(), cursors_.end(), cursor), cursors_.end());
}

} // namespace store
