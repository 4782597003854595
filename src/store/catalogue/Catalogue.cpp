#include "store/catalogue/Catalogue.h"

#include "store/engine/SqliteEngine.h"
#include "store/files/FileError.h"
#include "store/files/StaleFiles.h"
#include "store/schema/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

const char *catalogueSchema() {
    return schema::createSql;
}

namespace {

[[noreturn]] void fail(const QString &message, const QString &path) {
    throw DatabaseError(DatabaseError::Kind::Io, message, path);
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

class StatementRows : public NewRows {
public:
    explicit StatementRows(engine::Database *db)
        : db_(db)
        , cd_(db, schema::insertSql(schema::cds::table, 4))
        , program_(db, schema::insertSql(schema::programs::table, 9)) {}

    void addCd(const std::array<NewValue, 4> &values) override { insert(cd_, values); }
    void addProgram(const std::array<NewValue, 9> &values) override { insert(program_, values); }
    qint64 count(const char *table) override {
        return engine::queryNumber(db_, QByteArray("SELECT count(*) FROM ") + table);
    }
    engine::Database *database() override { return db_; }

private:
    template <size_t N>
    static void insert(engine::Statement &statement, const std::array<NewValue, N> &values) {
        statement.reset();
        for (size_t i = 0; i < N; ++i) {
            const int index = int(i) + 1;
            if (const auto *number = std::get_if<qint64>(&values[i]))
                statement.bindInt(index, *number);
            else if (const auto *text = std::get_if<QByteArray>(&values[i]))
                statement.bindText(index, *text);
            else
                statement.bindNull(index);
        }
        statement.step();
    }

    engine::Database *db_;
    engine::Statement cd_;
    engine::Statement program_;
};

// Removes the temporary file unless it was handed over.
struct TemporaryFile {
    QByteArray path;
    ~TemporaryFile() {
        if (!path.isEmpty())
            ::unlink(path.constData());
    }
};

} // namespace

std::unique_ptr<NewRows> rowsInto(engine::Database *db) {
    return std::make_unique<StatementRows>(db);
}

namespace {

void create(const QString &directory, bool sample, const std::function<void(NewRows &)> &fill) {
    const QFileInfo folder(directory);
    if (!folder.exists())
        fail(QStringLiteral("the folder %1 does not exist").arg(directory), directory);
    if (!folder.isDir())
        fail(QStringLiteral("%1 is not a folder").arg(directory), directory);
    const QString target = QDir(directory).filePath(QStringLiteral("db.mdb"));
    const QByteArray targetBytes = QFile::encodeName(target);
    struct stat existing;
    if (::lstat(targetBytes.constData(), &existing) == 0)
        fail(QStringLiteral("%1 already exists; it was left untouched").arg(target), target);

    // Built under a temporary name and linked into place, so db.mdb appears complete or not at
    // all, and a file that appeared meanwhile is never replaced.
    // What an init killed part way left: the catalogue it was building and that one's journal.
    removeStaleReplacements(QFile::encodeName(directory), "db.mdb");
    removeStaleFiles(QFile::encodeName(directory), ".db.mdb.", "-journal");
    TemporaryFile temporary;
    QByteArray pattern =
        QFile::encodeName(QDir(directory).filePath(QStringLiteral(".db.mdb.XXXXXX")));
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        fail(QStringLiteral("cannot write in the folder %1: %2").arg(directory, systemError(errno)),
             directory);
    temporary.path = pattern;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);

    const QString temporaryPath = QFile::decodeName(pattern);
    {
        engine::DbHandle db = engine::open(temporaryPath, true);
        engine::exec(db.get(), "BEGIN", target);
        engine::exec(db.get(), catalogueSchema(), target);
        if (sample)
            insertSampleData(db.get(), target);
        {
            StatementRows rows(db.get());
            fill(rows);
        }
        engine::exec(db.get(), "COMMIT", target);
        engine::closeFile(std::move(db));
    }

    if (::link(pattern.constData(), targetBytes.constData()) != 0) {
        const int error = errno;
        if (error == EEXIST)
            fail(QStringLiteral("%1 already exists; it was left untouched").arg(target), target);
        // File systems without hard links: rename, having checked just before.
        if (::lstat(targetBytes.constData(), &existing) == 0)
            fail(QStringLiteral("%1 already exists; it was left untouched").arg(target), target);
        if (::rename(pattern.constData(), targetBytes.constData()) != 0)
            fail(QStringLiteral("cannot create %1: %2").arg(target, systemError(errno)), target);
        temporary.path.clear();
    }
}

} // namespace

void createCatalogue(const QString &directory, bool sample) {
    create(directory, sample, [](NewRows &) {});
}

void createCatalogue(const QString &directory, const std::function<void(NewRows &)> &fill) {
    create(directory, false, fill);
}

bool isAccessFile(const QByteArray &path) {
    // Read by the path's own bytes: a folder name need not be valid text.
    char head[19];
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const ssize_t got = ::read(fd, head, sizeof head);
    ::close(fd);
    const QByteArray bytes(head, got == ssize_t(sizeof head) ? qsizetype(sizeof head) : 0);
    return bytes.startsWith(QByteArray("\x00\x01\x00\x00", 4)) &&
           (bytes.mid(4) == "Standard Jet DB" || bytes.mid(4) == "Standard ACE DB");
}

bool catalogueHolds(const QByteArray &path, qint64 cds, qint64 programs) {
    try {
        const engine::DbHandle db = engine::openToRead(path, QFile::decodeName(path));
        engine::Statement check(db.get(), "PRAGMA integrity_check");
        if (!check.step() || check.text(0) != "ok")
            return false;
        for (const auto &[table, expected] :
             {std::pair{schema::cds::table, cds}, std::pair{schema::programs::table, programs}}) {
            if (engine::queryNumber(db.get(), QByteArray("SELECT count(*) FROM ") + table) !=
                expected)
                return false;
        }
    } catch (const DatabaseError &) {
        return false;
    }
    return true;
}

QByteArray adoptConvertedCatalogue(const QByteArray &converted, const QByteArray &directory) {
    const QByteArray target = directory + "/db.mdb";
    const QString shown = QFile::decodeName(target);
    QByteArray kept;
    bool linked = false;
    for (int n = 1;; ++n) {
        kept = directory + (n == 1 ? QByteArray("/db-access.mdb")
                                   : "/db-access-" + QByteArray::number(n) + ".mdb");
        struct stat taken;
        if (::lstat(kept.constData(), &taken) == 0)
            continue;
        // A second name for the old file first, so that db.mdb never goes missing; a file
        // system without hard links gets a plain rename.
        if (::link(target.constData(), kept.constData()) == 0) {
            linked = true;
            break;
        }
        if (errno == EEXIST)
            continue;
        if (::rename(target.constData(), kept.constData()) == 0)
            break;
        throw FileError::fromErrno(errno, shown);
    }
    if (::rename(converted.constData(), target.constData()) != 0) {
        const int error = errno;
        if (linked)
            ::unlink(kept.constData());
        else
            ::rename(kept.constData(), target.constData());
        throw FileError::fromErrno(error, shown);
    }
    return kept;
}

} // namespace store
