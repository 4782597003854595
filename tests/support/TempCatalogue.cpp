#include "support/TempCatalogue.h"

#include "store/catalogue/Catalogue.h"
#include "store/catalogue/Modulo.h"
#include "store/catalogue/ServerCatalogue.h"
#include "store/engine/Connection.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

QByteArray testServer() {
    return qgetenv("VADREL_TEST_SERVER");
}

TempCatalogue::TempCatalogue(bool sample, bool create, TestEngine engine)
    : engine_(engine) {
    if (!dir_.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    if (engine_ == TestEngine::Server) {
        static std::atomic<int> made{0};
        if (testServer().isEmpty())
            throw std::runtime_error("no test server (VADREL_TEST_SERVER)");
        database_ =
            "vadrel_test_" + QByteArray::number(::getpid()) + '_' + QByteArray::number(++made);
        store::server::open(testServer())->exec("CREATE DATABASE " + database_);
        // A later setting wins over an earlier one of the same name.
        address_ = testServer() + " dbname=" + database_;
        if (create)
            store::createServerCatalogue(address_, sample);
        return;
    }
    if (create)
        store::createCatalogue(dir_.path(), sample);
}

TempCatalogue::~TempCatalogue() {
    if (database_.isEmpty())
        return;
    try {
        store::server::open(testServer())->exec("DROP DATABASE " + database_ + " WITH (FORCE)");
    } catch (const std::exception &) {
        // Gone with the throwaway server anyway.
    }
}

QString TempCatalogue::dbPath() const {
    if (engine_ == TestEngine::Server)
        return store::server::shownAddress(address_);
    return QDir(dir_.path()).filePath(QStringLiteral("db.mdb"));
}

void TempCatalogue::point(store::Connection &connection) const {
    if (engine_ == TestEngine::Server)
        store::useServer(connection, address_);
    else
        connection.setFile(dbPath());
}

void TempCatalogue::point(TDataModule2 &module) const {
    if (engine_ == TestEngine::Server)
        module.useServer(address_, {});
}

std::unique_ptr<store::engine::Database> TempCatalogue::open() const {
    // The program may still be reading in the background: a write waits for it, as another
    // program's would.
    if (engine_ == TestEngine::Server)
        return store::server::open(address_);
    return store::engine::open(dbPath(), false);
}

void TempCatalogue::exec(const QString &sql) const {
    try {
        open()->exec(sql.toUtf8());
    } catch (const std::exception &error) {
        throw std::runtime_error(std::string("SQL failed: ") + error.what());
    }
}

qint64 TempCatalogue::queryInt(const QString &sql) const {
    try {
        const auto db = open();
        store::engine::Statement statement(db.get(), sql.toUtf8());
        return statement.step() ? statement.int64(0) : -1;
    } catch (const std::exception &) {
        return -1;
    }
}

QString TempCatalogue::queryText(const QString &sql) const {
    try {
        const auto db = open();
        store::engine::Statement statement(db.get(), sql.toUtf8());
        return statement.step() && !statement.isNull(0) ? statement.string(0) : QString();
    } catch (const std::exception &) {
        return {};
    }
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
