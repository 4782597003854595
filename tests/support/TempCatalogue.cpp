#include "TempCatalogue.h"

#include "Catalogue.h"

#include <QDir>
#include <QFile>
#include <sqlite3.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

TempCatalogue::TempCatalogue(bool sample, bool create) {
    if (!dir_.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    if (create)
        store::createCatalogue(dir_.path(), sample);
}

TempCatalogue::~TempCatalogue() = default;

QString TempCatalogue::dbPath() const {
    return QDir(dir_.path()).filePath(QStringLiteral("db.mdb"));
}

sqlite3 *TempCatalogue::open() const {
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(dbPath().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open the test catalogue");
    }
    sqlite3_exec(db, "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr);
    // The program may still be reading in the background: a write waits for it, as another
    // program's would.
    sqlite3_busy_timeout(db, 5000);
    return db;
}

void TempCatalogue::exec(const QString &sql) const {
    sqlite3 *db = open();
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error("SQL failed: " + message);
}

qint64 TempCatalogue::queryInt(const QString &sql) const {
    sqlite3 *db = open();
    sqlite3_stmt *stmt = nullptr;
    qint64 value = -1;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

QString TempCatalogue::queryText(const QString &sql) const {
    sqlite3 *db = open();
    sqlite3_stmt *stmt = nullptr;
    QString value;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL)
        value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)),
                                  sqlite3_column_bytes(stmt, 0));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

QByteArray TempCatalogue::fileBytes() const {
    QFile file(dbPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ScopedCwd::ScopedCwd(const QString &dir)
    : previous_(QDir::currentPath()) {
    if (!QDir::setCurrent(dir))
        throw std::runtime_error("cannot change the working directory");
}

ScopedCwd::~ScopedCwd() {
    QDir::setCurrent(previous_);
}

int runUnprivileged(const std::function<int()> &body) {
    const pid_t child = ::fork();
    if (child < 0)
        return 100;
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(101);
        int code = 102;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 103;
}
