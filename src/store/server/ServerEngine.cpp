#include "store/server/ServerEngine.h"

#include "store/schema/Schema.h"
#include "store/server/ServerDialect.h"

#include <QRegularExpression>
#include <atomic>
#include <cstdlib>
#include <deque>
#include <libpq-fe.h>
#include <optional>
#include <sys/socket.h>

namespace store::server {

namespace {

using Cause = DatabaseError::Cause;
using Kind = DatabaseError::Kind;

// Settings of every catalogue connection: the texts as UTF-8, dates as ISO, and limits so that
// a lock or a lost peer never leaves a window waiting for good.
constexpr char kSessionSetup[] = "SET client_encoding = 'UTF8'; SET DateStyle = 'ISO, YMD'; "
                                 "SET statement_timeout = '120s'; SET lock_timeout = '10s'; "
                                 "SET idle_in_transaction_session_timeout = '10min'; LISTEN vadrel";

class ServerStatement;

class ServerDatabase final : public engine::Database {
public:
    ServerDatabase(PGconn *conn, const QString &shown)
        : Database(shown)
        , conn_(conn)
        , ownPid_(PQbackendPID(conn)) {}
    ~ServerDatabase() override { PQfinish(conn_); }

    Engine engine() const override { return Engine::Server; }
    std::unique_ptr<engine::StatementBackend> prepare(const QByteArray &sql) override;
    void exec(const QByteArray &sql) override {
        ready();
        PGresult *result = PQexec(conn_, sql.constData());
        finish(result);
    }
    void beginWrite() override { begin("BEGIN"); }
    void beginSnapshot() override { begin("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"); }
    void commit() override {
        ready();
        inTransaction_ = false;
        PGresult *result = PQexec(conn_, "COMMIT");
        // A transaction a statement broke ends in ROLLBACK, which is no commit.
        const bool rolledBack = result && QByteArray(PQcmdStatus(result)) == "ROLLBACK";
        finish(result);
        if (rolledBack)
            throw DatabaseError(Kind::Other, QStringLiteral("the transaction was rolled back"),
                                path());
    }
    void rollback() noexcept override {
        inTransaction_ = false;
        if (abandoned_)
            return;
        settle();
        if (PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_IDLE)
            PQclear(PQexec(conn_, "ROLLBACK"));
    }
    qint64 totalChanges() const override { return totalChanges_; }
    qint64 dataVersion() override {
        poll();
        return version_;
    }
    // From another thread: what runs here is given up, and so is the connection (its owner
    // only closes it after this). Shutting the socket wakes a read that waits at once, where a
    // cancel request would wait for the server; the server stops when it can send no more.
    void interrupt() noexcept override {
        abandoned_ = true;
        if (const int socket = PQsocket(conn_); socket >= 0)
            ::shutdown(socket, SHUT_RDWR);
    }
    bool abandoned() const { return abandoned_; }
    QByteArray lockForUpdate() const override { return " FOR UPDATE"; }
    // The server keeps the names it was given unquoted in lower case.
    QByteArray quoted(const QString &name) const override {
        return Database::quoted(name.toLower());
    }

    PGconn *conn() const { return conn_; }
    // Makes the connection free for a new command: another statement's rows still arriving are
    // kept by that statement; a connection lost is made again.
    void ready();
    void settle() noexcept;
    void streaming(ServerStatement *statement) { streaming_ = statement; }
    void stopped(ServerStatement *statement) {
        if (streaming_ == statement)
            streaming_ = nullptr;
    }
    void counted(qint64 changes) { totalChanges_ += changes; }
    [[noreturn]] void fail(const PGresult *result) const;
    void finish(PGresult *result) {
        if (!result || (PQresultStatus(result) != PGRES_COMMAND_OK &&
                        PQresultStatus(result) != PGRES_TUPLES_OK)) {
            const auto guard = std::unique_ptr<PGresult, decltype(&PQclear)>(result, PQclear);
            fail(result);
        }
        PQclear(result);
    }
    int socket() const { return PQstatus(conn_) == CONNECTION_OK ? PQsocket(conn_) : -1; }
    Notices takeNotices() {
        poll();
        return {std::exchange(notices_, {}), version_};
    }

private:
    void poll();
    void begin(const char *sql) {
        exec(sql);
        inTransaction_ = true;
    }

    PGconn *conn_;
    int ownPid_;
    ServerStatement *streaming_ = nullptr;
    bool inTransaction_ = false; // a connection made again inside one would go on outside it
    std::atomic<bool> abandoned_{false};
    qint64 totalChanges_ = 0;
    qint64 version_ = 0;
    std::vector<Notice> notices_;
};

class ServerStatement final : public engine::StatementBackend {
public:
    ServerStatement(ServerDatabase &db, const QByteArray &sql)
        : db_(db)
        , sql_(numberedParameters(sql, count_))
        , parameters_(size_t(count_)) {}
    ~ServerStatement() override { discard(); }

    void bindNull(int index) override { parameter(index).reset(); }
    void bindInt(int index, qint64 value) override { parameter(index) = QByteArray::number(value); }
    void bindText(int index, const QByteArray &utf8) override {
        // Never null for an empty text, as the file engine keeps it.
        parameter(index) = utf8.isNull() ? QByteArray("") : utf8;
    }

    bool step() override {
        if (state_ == State::Idle)
            send();
        clearRow();
        if (!kept_.empty()) {
            row_ = kept_.front();
            kept_.pop_front();
            return true;
        }
        if (state_ == State::Streaming) {
            PGresult *result = PQgetResult(db_.conn());
            if (result && PQresultStatus(result) == PGRES_SINGLE_TUPLE) {
                row_ = result;
                return true;
            }
            end(result);
        }
        state_ = State::Done;
        if (failure_) {
            const auto guard = std::unique_ptr<PGresult, decltype(&PQclear)>(
                std::exchange(failure_, nullptr), PQclear);
            db_.fail(guard.get());
        }
        if (lost_) {
            lost_ = false;
            db_.fail(nullptr);
        }
        return false;
    }

    void reset() override {
        discard();
        for (auto &parameter : parameters_)
            parameter.reset();
        state_ = State::Idle;
    }

    bool isNull(int column) const override { return !row_ || PQgetisnull(row_, 0, column); }
    bool holdsNumber(int column) const override {
        return !isNull(column) && declaredType(column) == "INTEGER";
    }
    qint64 int64(int column) const override {
        return row_ ? std::strtoll(PQgetvalue(row_, 0, column), nullptr, 10) : 0;
    }
    std::string_view text(int column) const override {
        if (!row_)
            return {};
        return {PQgetvalue(row_, 0, column), size_t(PQgetlength(row_, 0, column))};
    }
    int columnCount() const override { return PQnfields(description()); }
    QString columnName(int column) const override {
        return QString::fromUtf8(PQfname(description(), column));
    }
    QByteArray declaredType(int column) const override {
        switch (PQftype(description(), column)) {
        case 20: // int8
        case 21: // int2
        case 23: // int4
            return "INTEGER";
        case 1082:
            return "DATE";
        case 1114: // timestamp
        case 1184: // timestamptz
            return "DATETIME";
        default:
            return "TEXT";
        }
    }
    qint64 changes() const override { return changes_; }

    // The rows still to come are read now and kept, so that the connection is free.
    void keepRest() {
        while (state_ == State::Streaming) {
            PGresult *result = PQgetResult(db_.conn());
            if (result && PQresultStatus(result) == PGRES_SINGLE_TUPLE) {
                kept_.push_back(result);
                continue;
            }
            end(result);
        }
    }

private:
    enum class State { Idle, Streaming, Finished, Done };

    std::optional<QByteArray> &parameter(int index) {
        if (index < 1 || index > count_)
            throw DatabaseError(Kind::Other, QStringLiteral("no parameter %1").arg(index),
                                db_.path());
        return parameters_[size_t(index - 1)];
    }

    void send() {
        db_.ready();
        std::vector<const char *> values;
        std::vector<int> lengths;
        for (const auto &parameter : parameters_) {
            values.push_back(parameter ? parameter->constData() : nullptr);
            lengths.push_back(parameter ? int(parameter->size()) : 0);
        }
        if (!PQsendQueryParams(db_.conn(), sql_.constData(), count_, nullptr, values.data(),
                               lengths.data(), nullptr, 0))
            db_.fail(nullptr);
        PQsetSingleRowMode(db_.conn());
        state_ = State::Streaming;
        changes_ = 0;
        db_.streaming(this);
    }

    // The result after the rows: the count of changes or the failure, then the end.
    void end(PGresult *result) {
        for (; result; result = PQgetResult(db_.conn())) {
            const ExecStatusType status = PQresultStatus(result);
            if (status == PGRES_SINGLE_TUPLE) { // none left after a final result
                PQclear(result);
                continue;
            }
            if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
                const QByteArray command(PQcmdStatus(result));
                if (command.startsWith("INSERT") || command.startsWith("UPDATE") ||
                    command.startsWith("DELETE")) {
                    changes_ = std::atoll(PQcmdTuples(result));
                    db_.counted(changes_);
                }
                PQclear(result);
            } else if (!failure_) {
                failure_ = result;
            } else {
                PQclear(result);
            }
        }
        if (!failure_ && PQstatus(db_.conn()) != CONNECTION_OK)
            lost_ = true;
        state_ = State::Finished;
        db_.stopped(this);
    }

    void clearRow() {
        if (row_)
            PQclear(row_);
        row_ = nullptr;
    }

    void discard() {
        if (state_ == State::Streaming) {
            // Rows nobody will read are dropped (a cancel here could reach the next command
            // instead); on a connection given up, which the server was told to stop, nothing more
            // is read at all.
            if (!db_.abandoned())
                for (PGresult *result; (result = PQgetResult(db_.conn()));)
                    PQclear(result);
            state_ = State::Finished;
            db_.stopped(this);
        }
        clearRow();
        for (PGresult *kept : kept_)
            PQclear(kept);
        kept_.clear();
        if (failure_)
            PQclear(failure_);
        failure_ = nullptr;
        if (description_)
            PQclear(description_);
        description_ = nullptr;
        lost_ = false;
    }

    // The columns, known before the first row by asking the server to describe the statement.
    const PGresult *description() const {
        if (row_)
            return row_;
        if (!description_) {
            db_.ready();
            PGresult *prepared = PQprepare(db_.conn(), "", sql_.constData(), count_, nullptr);
            db_.finish(prepared);
            description_ = PQdescribePrepared(db_.conn(), "");
            if (!description_ || PQresultStatus(description_) != PGRES_COMMAND_OK)
                db_.fail(description_);
        }
        return description_;
    }

    ServerDatabase &db_;
    int count_ = 0;
    QByteArray sql_;
    std::vector<std::optional<QByteArray>> parameters_;
    State state_ = State::Idle;
    PGresult *row_ = nullptr;
    std::deque<PGresult *> kept_;
    PGresult *failure_ = nullptr;
    bool lost_ = false;
    qint64 changes_ = 0;
    mutable PGresult *description_ = nullptr;
};

std::unique_ptr<engine::StatementBackend> ServerDatabase::prepare(const QByteArray &sql) {
    return std::make_unique<ServerStatement>(*this, sql);
}

void ServerDatabase::settle() noexcept {
    if (streaming_) {
        try {
            streaming_->keepRest();
        } catch (...) {
        }
    }
    streaming_ = nullptr;
}

void ServerDatabase::ready() {
    if (abandoned_)
        throw DatabaseError(Kind::Other, QStringLiteral("reading stopped"), path());
    settle();
    if (PQstatus(conn_) == CONNECTION_OK)
        return;
    // The connection broke since the last command: the server may be back, unless a transaction
    // was open, whose work went with the connection.
    if (inTransaction_)
        fail(nullptr);
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK)
        fail(nullptr);
    ownPid_ = PQbackendPID(conn_);
    PQclear(PQexec(conn_, kSessionSetup));
    ++version_; // what others did meanwhile was not heard
}

void ServerDatabase::fail(const PGresult *result) const {
    const QByteArray state =
        result ? QByteArray(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QByteArray();
    QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : "").trimmed();
    if (message.isEmpty())
        message = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
    Cause cause = causeOf(state);
    if (cause == Cause::Unknown && PQstatus(conn_) != CONNECTION_OK)
        cause = Cause::ConnectionLost;
    throw DatabaseError(kindOf(cause), message, path(), cause);
}

void ServerDatabase::poll() {
    if (streaming_ || PQstatus(conn_) != CONNECTION_OK)
        return;
    PQconsumeInput(conn_);
    while (PGnotify *notify = PQnotifies(conn_)) {
        if (notify->be_pid != ownPid_) {
            ++version_;
            const QList<QByteArray> parts = QByteArray(notify->extra).split(' ');
            if (parts.size() == 2)
                notices_.push_back({QString::fromUtf8(parts[0]), parts[1].toLongLong()});
        }
        PQfreemem(notify);
    }
}

ServerDatabase *serverOf(engine::Database *db) {
    return dynamic_cast<ServerDatabase *>(db);
}

PGconn *connect(const QByteArray &address, const QByteArray &password) {
    // The address's own settings win over these defaults; a password given wins over them all.
    std::vector<const char *> keys{"connect_timeout",  "keepalives_idle",  "keepalives_interval",
                                   "keepalives_count", "application_name", "dbname"};
    std::vector<const char *> values{"10", "30", "10", "3", "vadrel", address.constData()};
    if (!password.isNull()) {
        keys.push_back("password");
        values.push_back(password.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    return PQconnectdbParams(keys.data(), values.data(), 1);
}

} // namespace

bool isServerAddress(const QByteArray &address) {
    if (address.startsWith("postgresql://") || address.startsWith("postgres://"))
        return true;
    static const QRegularExpression setting(QStringLiteral("^\\s*[a-z_]+\\s*="));
    return setting.match(QString::fromUtf8(address)).hasMatch();
}

QString shownAddress(const QByteArray &address) {
    QString text = QString::fromUtf8(address);
    static const QRegularExpression userPassword(
        QStringLiteral("^(postgres(?:ql)?://[^:@/]*):[^@/]*@"));
    static const QRegularExpression uriPassword(QStringLiteral("([?&])password=[^&]*&?"));
    static const QRegularExpression settingPassword(
        QStringLiteral("\\s*\\bpassword\\s*=\\s*('(?:[^'\\\\]|\\\\.)*'|\\S*)"));
    text.replace(userPassword, QStringLiteral("\\1@"));
    text.replace(uriPassword, QStringLiteral("\\1"));
    if (text.endsWith(u'?') || text.endsWith(u'&'))
        text.chop(1);
    if (!text.contains(QLatin1String("://")))
        text.replace(settingPassword, QString());
    return text.trimmed();
}

engine::DbHandle open(const QByteArray &address, QString *password, const AskPassword &ask) {
    const QString shown = shownAddress(address);
    QByteArray given = password && !password->isEmpty() ? password->toUtf8() : QByteArray();
    for (;;) {
        PGconn *conn = connect(address, given);
        if (PQstatus(conn) == CONNECTION_OK) {
            auto db = std::make_unique<ServerDatabase>(conn, shown);
            db->exec(kSessionSetup);
            if (password)
                *password = QString::fromUtf8(given);
            return db;
        }
        const bool wantsPassword =
            PQconnectionNeedsPassword(conn) || PQconnectionUsedPassword(conn);
        const QString message = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        PQfinish(conn);
        QString typed;
        if (wantsPassword && ask && ask(shown, typed)) {
            given = typed.toUtf8();
            continue;
        }
        throw DatabaseError(Kind::Io, message, shown, Cause::ServerUnreachable);
    }
}

int noticeSocket(engine::Database *db) {
    ServerDatabase *server = serverOf(db);
    return server ? server->socket() : -1;
}

Notices takeNotices(engine::Database *db) {
    ServerDatabase *server = serverOf(db);
    return server ? server->takeNotices() : Notices();
}

} // namespace store::server
