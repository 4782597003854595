#include "vadrel-db/scan/FileFacts.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <utility>

// gio names a member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <libmsi.h>
#pragma pop_macro("signals")

namespace disc {

namespace {

// Bounds on the child that reads a package: far above what a sound one needs.
constexpr rlim_t childMemory = 1024 * 1024 * 1024;
constexpr qint64 childTime = 30 * 1000;
constexpr qsizetype answerLimit = 16 * 1024 * 1024;

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using Owned = std::unique_ptr<T, Unref>;

// GErrors are only told apart by success or failure here, so each is dropped at once.
struct Error {
    GError *error = nullptr;
    ~Error() { g_clear_error(&error); }
    GError **next() {
        g_clear_error(&error);
        return &error;
    }
};

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

// What is copied of a package for libmsi at most: larger than any installer of the time with its
// cabinets inside, small enough that the copy costs seconds at most.
constexpr qint64 packageLimit = 512LL * 1024 * 1024;
constexpr qint64 copyPiece = 1024 * 1024;

bool written(int fd, const QByteArray &bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t count = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += count;
    }
    return true;
}

// libmsi opens packages by path only: the file is copied, a piece at a time, to one that has no
// name on disk (in the temporary folder first, so that a large one costs no memory).
bool holdPieces(const Pieces &package, Descriptor &file) {
    file.fd = ::open(QFile::encodeName(QDir::tempPath()).constData(),
                     O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (file.fd < 0)
        file.fd = ::memfd_create("vadrel-msi", MFD_CLOEXEC);
    if (file.fd < 0)
        return false;
    for (qint64 at = 0; at < package.size; at += copyPiece) {
        const QByteArray piece = package.read(at, copyPiece);
        if (piece.isEmpty() || !written(file.fd, piece))
            return false;
        if (piece.size() < copyPiece)
            break;
    }
    return true;
}

// The value of one Property row: empty when the row is absent, nothing when the package has no
// readable Property table.
std::optional<QString> property(LibmsiDatabase *database, const char *name) {
    Error error;
    const QByteArray sql =
        QByteArray("SELECT `Value` FROM `Property` WHERE `Property` = '") + name + '\'';
    const Owned<LibmsiQuery> query(libmsi_query_new(database, sql.constData(), error.next()));
    if (!query || !libmsi_query_execute(query.get(), nullptr, error.next()))
        return std::nullopt;
    QString value;
    if (const Owned<LibmsiRecord> record(libmsi_query_fetch(query.get(), error.next())); record) {
        gchar *text = libmsi_record_get_string(record.get(), 1);
        value = QString::fromUtf8(text).trimmed();
        g_free(text);
    }
    libmsi_query_close(query.get(), error.next());
    return value;
}

QString comments(LibmsiDatabase *database) {
    Error error;
    const Owned<LibmsiSummaryInfo> info(libmsi_summary_info_new(database, 0, error.next()));
    // libmsi reads an absent property as a string from a null pointer: asked only when present.
    if (!info || libmsi_summary_info_get_property_type(info.get(), LIBMSI_PROPERTY_COMMENTS,
                                                       error.next()) != LIBMSI_PROPERTY_TYPE_STRING)
        return {};
    // Owned by the summary information, which outlives this copy.
    const gchar *text =
        libmsi_summary_info_get_string(info.get(), LIBMSI_PROPERTY_COMMENTS, error.next());
    return QString::fromUtf8(text).trimmed();
}

// libmsi trusts the column catalogue: a Property table whose columns are numbered wrongly
// there crashes it. _Columns itself has a fixed layout, so it can be asked first.
bool soundPropertyTable(LibmsiDatabase *database) {
    Error error;
    const Owned<LibmsiQuery> query(libmsi_query_new(
        database, "SELECT `Number`, `Name` FROM `_Columns` WHERE `Table` = 'Property'",
        error.next()));
    if (!query || !libmsi_query_execute(query.get(), nullptr, error.next()))
        return false;
    QStringList columns(2);
    int count = 0;
    while (const Owned<LibmsiRecord> record{libmsi_query_fetch(query.get(), error.next())}) {
        const int number = libmsi_record_get_int(record.get(), 1);
        gchar *name = libmsi_record_get_string(record.get(), 2);
        if (++count <= 2 && number >= 1 && number <= 2)
            columns[number - 1] = QString::fromUtf8(name);
        g_free(name);
    }
    libmsi_query_close(query.get(), error.next());
    return count == 2 &&
           columns == QStringList{QStringLiteral("Property"), QStringLiteral("Value")};
}

MsiFacts readPackage(const char *path) {
    MsiFacts facts;
    Error error;
    const Owned<LibmsiDatabase> database(
        libmsi_database_new(path, LIBMSI_DB_FLAGS_READONLY, nullptr, error.next()));
    if (!database || !soundPropertyTable(database.get()))
        return facts;

    const std::pair<const char *, QString MsiFacts::*> fields[] = {
        {"ProductName", &MsiFacts::productName},
        {"ProductVersion", &MsiFacts::productVersion},
        {"Manufacturer", &MsiFacts::manufacturer},
        {"ARPURLINFOABOUT", &MsiFacts::aboutUrl},
    };
    for (const auto &[name, member] : fields) {
        const std::optional<QString> value = property(database.get(), name);
        if (!value)
            return MsiFacts();
        facts.*member = *value;
    }
    facts.comments = comments(database.get());
    const bool any = !facts.productName.isEmpty() || !facts.productVersion.isEmpty() ||
                     !facts.manufacturer.isEmpty() || !facts.aboutUrl.isEmpty() ||
                     !facts.comments.isEmpty();
    facts.result = any ? ReadResult::Read : ReadResult::Missing;
    return facts;
}

QByteArray packed(const MsiFacts &facts) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << int(facts.result) << facts.productName << facts.productVersion << facts.manufacturer
        << facts.aboutUrl << facts.comments;
    return bytes;
}

MsiFacts unpacked(const QByteArray &bytes) {
    MsiFacts facts;
    QDataStream in(bytes);
    int result = -1;
    in >> result >> facts.productName >> facts.productVersion >> facts.manufacturer >>
        facts.aboutUrl >> facts.comments;
    if (in.status() != QDataStream::Ok || !in.atEnd() || result < int(ReadResult::Read) ||
        result > int(ReadResult::Damaged))
        return MsiFacts();
    facts.result = ReadResult(result);
    return facts;
}

void dropMessage(const gchar *, GLogLevelFlags, const gchar *, gpointer) {}

// Runs in the child: nothing of it may reach the scan's standard output, and _exit leaves the
// parent's unflushed stdio buffers alone.
[[noreturn]] void readInChild(const char *path, int answer) {
    g_log_set_default_handler(dropMessage, nullptr);
    // Room for what a package's tables need, not for what a hostile one asks.
    if (QFile statm(QStringLiteral("/proc/self/statm")); statm.open(QIODevice::ReadOnly)) {
        const rlim_t pages = statm.readLine().split(' ').value(0).toULongLong();
        const rlim_t limit = pages * rlim_t(::sysconf(_SC_PAGESIZE)) + childMemory;
        const rlimit bound{limit, limit};
        ::setrlimit(RLIMIT_AS, &bound);
    }
    const QByteArray bytes = packed(readPackage(path));
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(answer, bytes.constData() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            ::_exit(1);
        done += written;
    }
    ::_exit(0);
}

// The child's answer, or nothing if it crashed, ran out of time or said too much.
std::optional<QByteArray> answerOf(pid_t child, int answer) {
    QByteArray bytes;
    QDeadlineTimer deadline(childTime);
    bool whole = false;
    for (;;) {
        pollfd ready{answer, POLLIN, 0};
        const int polled = ::poll(&ready, 1, int(qMin<qint64>(deadline.remainingTime(), 1000)));
        if (polled < 0 && errno != EINTR)
            break;
        if (polled > 0) {
            char block[16384];
            const ssize_t got = ::read(answer, block, sizeof block);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                whole = got == 0;
                break;
            }
            bytes.append(block, got);
            if (bytes.size() > answerLimit)
                break;
        }
        if (deadline.hasExpired())
            break;
    }
    if (!whole)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!whole || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return bytes;
}

} // namespace

// libmsi crashes on many damaged packages, so it reads each one in a child process: a crash
// there costs that package only, not the scan.
MsiFacts readMsi(const QByteArray &bytes) {
    return readMsi(piecesOf(bytes));
}

MsiFacts readMsi(const Pieces &package) {
    if (package.size > packageLimit) {
        MsiFacts facts;
        facts.result = ReadResult::TooLarge;
        return facts;
    }
    Descriptor file;
    if (package.size <= 0 || !holdPieces(package, file))
        return MsiFacts();
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(file.fd);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return MsiFacts();
    Descriptor reading{ends[0]}, writing{ends[1]};
    const pid_t child = ::fork();
    if (child < 0)
        return MsiFacts();
    if (child == 0)
        readInChild(path.constData(), writing.fd);
    ::close(std::exchange(writing.fd, -1));
    const std::optional<QByteArray> answer = answerOf(child, reading.fd);
    return answer ? unpacked(*answer) : MsiFacts();
}

} // namespace disc
