#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>

struct sqlite3;

// A real catalogue in a fresh temporary folder, made by the same code as `vadrel-db init`,
// with direct SQL access for arranging rows and checking what reached the file.
class TempCatalogue {
public:
    explicit TempCatalogue(bool sample = false, bool create = true);
    ~TempCatalogue();

    QString dir() const { return dir_.path(); }
    QString dbPath() const;

    void exec(const QString &sql) const;
    qint64 queryInt(const QString &sql) const;
    QString queryText(const QString &sql) const; // empty for NULL or no row
    QByteArray fileBytes() const;

private:
    sqlite3 *open() const;
    QTemporaryDir dir_;
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
