#include "BackgroundRead.h"

namespace store {

BackgroundRead::BackgroundRead(engine::Database *describer, std::function<engine::DbHandle()> open,
                               const QString &path, QObject *parent)
    : QObject(parent)
    , path_(path)
    , describer_(describer)
    , open_(std::move(open)) {}

BackgroundRead::~BackgroundRead() {
    stop_ = true;
    {
        std::lock_guard lock(dbMutex_);
        if (db_)
            db_->interrupt();
    }
    finish();
}

std::shared_ptr<PendingRows> BackgroundRead::add(const QString &tableName) {
    auto pending = std::make_shared<PendingRows>();
    pending->query = describeRows(describer_, path_, tableName);
    Job job;
    job.pending = pending;
    pending->rows = job.promise.get_future();
    jobs_.push_back(std::move(job));
    return pending;
}

void BackgroundRead::start() {
    worker_ = std::thread([this] { run(); });
}

void BackgroundRead::run() {
    try {
        engine::DbHandle db = open_();
        db->beginSnapshot(); // from here on this connection sees one moment
        std::lock_guard lock(dbMutex_);
        db_ = std::move(db);
    } catch (...) {
        for (Job &job : jobs_)
            job.promise.set_exception(std::current_exception());
        emit rowsReady();
        done_ = true;
        return;
    }
    Snapshot::Lender lender; // the rows read last, whose texts the next may share
    for (Job &job : jobs_) {
        try {
            if (stop_)
                throw DatabaseError(DatabaseError::Kind::Other, QStringLiteral("reading stopped"));
            Snapshot rows;
            engine::Statement select(db_.get(), job.pending->query.selectAll, path_);
            readRows(db_.get(), select, job.pending->query, rows, &stop_, &lender);
            // Taken before the rows are handed over: moving them keeps their buffers in place,
            // and nothing changes them while this read runs (a write waits for it).
            lender = rows.lender();
            job.promise.set_value(std::move(rows));
        } catch (...) {
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
