#include "store/cursor/BackgroundRead.h"

namespace store {

BackgroundRead::BackgroundRead(engine::DbHandle db, const QString &path, QObject *parent)
    : QObject(parent)
    , path_(path)
    , db_(std::move(db)) {
    db_->beginSnapshot(); // from here on this connection sees one moment
}

BackgroundRead::~BackgroundRead() {
    stop_ = true;
    if (db_)
        db_->interrupt();
    finish();
}

std::shared_ptr<PendingRows> BackgroundRead::add(const QString &tableName) {
    auto pending = std::make_shared<PendingRows>();
    pending->query = describeRows(db_.get(), path_, tableName);
    Job job;
    job.select = std::make_unique<engine::Statement>(db_.get(), pending->query.selectAll, path_);
    if (!pending->query.selectFirst.isEmpty()) {
        job.selectFirst =
            std::make_unique<engine::Statement>(db_.get(), pending->query.selectFirst, path_);
        pending->first = job.firstPromise.get_future();
    }
    job.pending = pending;
    pending->rows = job.promise.get_future();
    jobs_.push_back(std::move(job));
    return pending;
}

void BackgroundRead::start(std::function<void()> betweenStages) {
    worker_ = std::thread([this, betweenStages = std::move(betweenStages)] { run(betweenStages); });
}

void BackgroundRead::run(const std::function<void()> &betweenStages) {
    for (Job &job : jobs_) {
        if (!job.selectFirst)
            continue;
        try {
            Snapshot rows;
            ReadOptions options;
            options.stop = &stop_;
            options.countFirst = false;
            options.firstRows = true;
            readRows(db_.get(), *job.selectFirst, job.pending->query, rows, options);
            job.firstPromise.set_value(std::move(rows));
        } catch (...) {
            job.firstPromise.set_exception(std::current_exception());
        }
        job.selectFirst.reset();
        emit rowsReady();
    }
    if (betweenStages)
        betweenStages();
    Snapshot::Lender lender; // the rows read last, whose texts the next may share
    for (Job &job : jobs_) {
        try {
            Snapshot rows;
            ReadOptions options;
            options.stop = &stop_;
            options.lender = &lender;
            options.progress = &job.pending->progress;
            readRows(db_.get(), *job.select, job.pending->query, rows, options);
            job.select.reset();
            // Taken before the rows are handed over: moving them keeps their buffers in place,
            // and nothing changes them while this read runs (a write waits for it).
            lender = rows.lender();
            job.promise.set_value(std::move(rows));
        } catch (...) {
            job.select.reset();
            job.promise.set_exception(std::current_exception());
        }
        emit rowsReady();
    }
    // Only read, so nothing to keep; ending the transaction lets writers in. The connection
    // itself is closed by finish(), on the thread that owns this object.
    db_->rollback();
    done_ = true;
}

void BackgroundRead::finish() {
    if (worker_.joinable())
        worker_.join();
    jobs_.clear();
    db_.reset();
    done_ = true;
}

} // namespace store
