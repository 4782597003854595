#pragma once

#include "Engine.h"
#include "RowReader.h"
#include "Snapshot.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace store {

// The rows of one cursor being read in the background.
struct PendingRows {
    RowQuery query;
    std::future<Snapshot> rows;
};

// Reads the rows of several cursors on a worker thread, through a connection of its own that the
// worker opens, inside one read transaction: what arrives is every table as it stood at that
// moment, whatever is written meanwhile.
class BackgroundRead : public QObject {
    Q_OBJECT
public:
    // `describer` is the program's connection, which learns the tables' fields at once; `open`
    // opens the reader's own, on the worker thread (a server's takes a while to make).
    BackgroundRead(engine::Database *describer, std::function<engine::DbHandle()> open,
                   const QString &path, QObject *parent = nullptr);
    ~BackgroundRead() override; // stops the reading and waits for the thread

    // Prepares the reading now, so that a missing table or view fails here, as at opening.
    // Only before start().
    std::shared_ptr<PendingRows> add(const QString &tableName);
    void start();
    // Waits until every read is done and the read transaction has ended.
    void finish();
    bool finished() const { return done_.load(); }

signals:
    // Emitted from the worker thread each time a cursor's rows are ready (or failed).
    void rowsReady();

private:
    struct Job {
        std::shared_ptr<PendingRows> pending;
        std::promise<Snapshot> promise;
    };
    void run();

    QString path_;
    engine::Database *describer_;
    std::function<engine::DbHandle()> open_;
    std::mutex dbMutex_; // db_ is set by the worker and interrupted from the owner's thread
    engine::DbHandle db_;
    std::vector<Job> jobs_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
};

} // namespace store
