#pragma once

#include "Engine.h"
#include "RowReader.h"
#include "Snapshot.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace store {

// The rows of one cursor being read in the background.
struct PendingRows {
    RowQuery query;
    std::future<Snapshot> rows;
};

// Reads the rows of several cursors on a worker thread, through a connection of its own and
// inside one read transaction begun when this object is made: what arrives is every table as
// it stood at that moment, whatever is written meanwhile.
class BackgroundRead : public QObject {
    Q_OBJECT
public:
    // `db` is a connection of the reader's own to the catalogue.
    BackgroundRead(engine::DbHandle db, const QString &path, QObject *parent = nullptr);
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
        std::unique_ptr<engine::Statement> select;
        std::shared_ptr<PendingRows> pending;
        std::promise<Snapshot> promise;
    };
    void run();

    QString path_;
    engine::DbHandle db_;
    std::vector<Job> jobs_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
};

} // namespace store
