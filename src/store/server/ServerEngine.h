#pragma once

#include "store/engine/Engine.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

// A catalogue on a PostgreSQL server, behind the engine room's boundary (libpq).
namespace store::server {

// True for what names a server rather than a folder: a libpq URI or `service=NAME` (or any
// `key=value` connection string).
bool isServerAddress(const QByteArray &address);

// The address as a user may see it: a URI or key=value text with any password taken out.
QString shownAddress(const QByteArray &address);

// Asked for the password when the server wants one and libpq has none (~/.pgpass, PGPASSFILE);
// returns false when the user gives up.
using AskPassword = std::function<bool(const QString &server, QString &password)>;

// A row of another connection changed: which table (as the schema spells it) and which key.
struct Notice {
    QString table;
    qint64 key = 0;
};

// Connects with the settings every catalogue connection has (UTF-8, ISO dates, timeouts), asking
// for the password through `ask` when needed. `password`, when not empty, is tried first and
// receives the one that worked. Unreachable: DatabaseError with Cause::ServerUnreachable.
engine::DbHandle open(const QByteArray &address, QString *password = nullptr,
                      const AskPassword &ask = {});

// The socket on which the server's notifications arrive; -1 for a file, or while the connection
// is broken (its socket would read as ready for good).
int noticeSocket(engine::Database *db);
// The notifications of other connections received so far, and the data version they bring the
// connection to; the version also moves by one, without a notice, when the connection was made
// again (what others did meanwhile was not heard).
struct Notices {
    std::vector<Notice> changes;
    qint64 version = 0;
};
Notices takeNotices(engine::Database *db);

} // namespace store::server
