#pragma once

#include "store/cursor/RowReader.h"
#include "store/cursor/Snapshot.h"
#include "store/engine/Engine.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace store {

// The rows of one cursor being read in the background.
struct PendingRows {
    RowQuery query;
    // The first rows (query.selectFirst), read before any cursor's whole rows; not valid when
    // the query has none.
    std::future<Snapshot> first;
    std::future<Snapshot> rows;
    ReadProgress progress; // of the whole rows
};

// Reads the rows of several cursors on a worker thread, through a connection of its own and
// inside one read transaction begun when this object is made: what arrives is every table as
// it stood at that moment, whatever is written meanwhile. The first rows of every cursor come
// first, so that whatever page the user opens has rows to show at once.
class BackgroundRead : public QObject {
    Q_OBJECT
public:
    // `db` is a connection of the reader's own to the catalogue.
    BackgroundRead(engine::DbHandle db, const QString &path, QObject *parent = nullptr);
    ~BackgroundRead() override; // stops the reading and waits for the thread

    // Prepares the reading now, so that a missing table or view fails here, as at opening.
    // Only before start().
    std::shared_ptr<PendingRows> add(const QString &tableName);
    // `betweenStages`, when given, runs on the worker thread once every cursor's first rows are
    // out and before the rest is read (tests hold the reading there).
    void start(std::function<void()> betweenStages = {});
    // Waits until every read is done and the read transaction has ended.
    void finish();
    bool finished() const { return done_.load(); }

signals:
    // Emitted from the worker thread each time a cursor's rows are ready (or failed).
    void rowsReady();

private:
    struct Job {
        std::unique_ptr<engine::Statement> selectFirst;
        std::unique_ptr<engine::Statement> select;
        std::shared_ptr<PendingRows> pending;
        std::promise<Snapshot> firstPromise;
        std::promise<Snapshot> promise;
    };
    void run(const std::function<void()> &betweenStages);

    QString path_;
    engine::DbHandle db_;
    std::vector<Job> jobs_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
};

} // namespace store
