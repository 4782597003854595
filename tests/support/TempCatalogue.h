#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class TDataModule2;
namespace store {
class Connection;
namespace engine {
class Database;
}
} // namespace store

// Where a test's catalogue is kept: a file, or a database of the test server.
enum class TestEngine { File, Server };

// The test server's address (VADREL_TEST_SERVER, set by tests/server/with-server); empty when
// the tests run without one.
QByteArray testServer();

// A real catalogue in a fresh temporary folder, made by the same code as `vadrel-db init`,
// with direct SQL access for arranging rows and checking what reached the file. On the server
// engine the catalogue is a fresh database of the test server, made as `vadrel-db init
// --servidor` makes it, dropped afterwards; the folder is still there, as the working folder.
class TempCatalogue {
public:
    explicit TempCatalogue(bool sample = false, bool create = true,
                           TestEngine engine = TestEngine::File);
    ~TempCatalogue();

    TestEngine engine() const { return engine_; }
    QString dir() const { return dir_.path(); }
    // The file, or the server's address as the program shows it.
    QString dbPath() const;
    // The server's address; empty for a file.
    QByteArray address() const { return address_; }
    // Points a connection, or the data module's, at this catalogue.
    void point(store::Connection &connection) const;
    void point(TDataModule2 &module) const;

    void exec(const QString &sql) const;
    qint64 queryInt(const QString &sql) const;
    QString queryText(const QString &sql) const; // empty for NULL or no row
    QByteArray fileBytes() const;

private:
    std::unique_ptr<store::engine::Database> open() const;
    TestEngine engine_;
    QTemporaryDir dir_;
    QByteArray database_; // the server's database, when there is one
    QByteArray address_;
};

// Makes a folder the working directory for the scope.
class ScopedCwd {
public:
    explicit ScopedCwd(const QString &dir);
    ~ScopedCwd();

private:
    QString previous_;
};

// Runs `body` in a child process without root's rights (so file permissions bind even when the
// tests run as root) and returns its exit code; 0 means every check in it passed.
int runUnprivileged(const std::function<int()> &body);

// Runs a parameterised suite on both engines; a server case skips itself (SKIP_WITHOUT_SERVER)
// when the tests run without a test server.
#define VADREL_ON_BOTH_ENGINES(Suite)                                                              \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Engines, Suite, ::testing::Values(TestEngine::File, TestEngine::Server),                   \
        [](const ::testing::TestParamInfo<TestEngine> &info) {                                     \
            return std::string(info.param == TestEngine::File ? "File" : "Server");                \
        })
#define SKIP_WITHOUT_SERVER(engine)                                                                \
    if ((engine) == TestEngine::Server && testServer().isEmpty())                                  \
    GTEST_SKIP() << "no test server: run under tests/server/with-server"
