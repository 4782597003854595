#include "store/disc/DiscScan.h"

#include "store/disc/ProposalJson.h"

#include <QElapsedTimer>
#include <QList>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VADREL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VADREL_ADDRESS_SANITIZER 1
#endif
#endif

namespace disc {

namespace {

// More than any proposal needs; a child that writes without end is stopped there.
constexpr qsizetype kMostOutput = 64 << 20;

class Pipe {
public:
    Pipe() {
        if (::pipe2(fds_, O_CLOEXEC) != 0)
            fds_[0] = fds_[1] = -1;
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;
    bool ok() const { return fds_[0] >= 0; }
    int read() const { return fds_[0]; }
    int write() const { return fds_[1]; }
    void closeRead() { closeEnd(0); }
    void closeWrite() { closeEnd(1); }

private:
    void closeEnd(int end) {
        if (fds_[end] >= 0)
            ::close(fds_[end]);
        fds_[end] = -1;
    }
    int fds_[2];
};

struct Run {
    enum class End { Exited, Died, Stalled, Cancelled, NotStarted } end = End::NotStarted;
    int status = 0;
    QByteArray out;
    QByteArray errors;  // what the child said on stderr, progress lines left out
    QByteArray reading; // the file it was reading last, as the disc spells it
};

// Starts the child with fork and exec, so that the source's bytes reach it unchanged and the
// caps are set in it alone.
pid_t start(const std::vector<QByteArray> &arguments, qint64 memoryBytes, Pipe &out, Pipe &err) {
    std::vector<char *> argv;
    for (const QByteArray &argument : arguments)
        argv.push_back(const_cast<char *>(argument.constData()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
        // Only calls that are safe between fork and exec from here.
#ifndef VADREL_ADDRESS_SANITIZER
    const rlimit limit{rlim_t(memoryBytes), rlim_t(memoryBytes)};
    ::setrlimit(RLIMIT_AS, &limit);
#else
    (void)memoryBytes; // the sanitizer reserves far more address space than it uses
#endif
    const int nothing = ::open("/dev/null", O_RDONLY);
    if (nothing < 0 || ::dup2(nothing, 0) < 0 || ::dup2(out.write(), 1) < 0 ||
        ::dup2(err.write(), 2) < 0)
        ::_exit(127);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

Run runOnce(const QByteArray &program, const QByteArray &source, const QList<QByteArray> &skip,
            const ScanLimits &limits, const QElapsedTimer &clock,
            const std::function<bool(const QString &)> &progress) {
    std::vector<QByteArray> arguments{program, "scan", "--progress"};
    for (const QByteArray &path : skip) {
        arguments.push_back("--skip");
        arguments.push_back(path);
    }
    arguments.push_back("--");
    arguments.push_back(source);

    Run run;
    Pipe out;
    Pipe err;
    if (!out.ok() || !err.ok())
        return run;
    const pid_t pid = start(arguments, limits.memoryBytes, out, err);
    if (pid < 0)
        return run;
    out.closeWrite();
    err.closeWrite();

    QByteArray errorLine;
    QElapsedTimer quiet;
    quiet.start();
    bool outOpen = true;
    bool errOpen = true;
    run.end = Run::End::Exited;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{outOpen ? out.read() : -1, POLLIN, 0},
                         {errOpen ? err.read() : -1, POLLIN, 0}};
        ::poll(fds, 2, 50);
        char buffer[65536];
        if (fds[0].revents) {
            const ssize_t got = ::read(out.read(), buffer, sizeof buffer);
            if (got > 0 && run.out.size() < kMostOutput)
                run.out.append(buffer, got);
            else if (got > 0)
                run.end = Run::End::Died;
            else if (got == 0 || errno != EINTR)
                outOpen = false;
        }
        if (fds[1].revents) {
            const ssize_t got = ::read(err.read(), buffer, sizeof buffer);
            if (got <= 0 && (got == 0 || errno != EINTR))
                errOpen = false;
            for (ssize_t i = 0; i < got; ++i) {
                if (buffer[i] != '\n') {
                    if (errorLine.size() < 65536)
                        errorLine += buffer[i];
                    continue;
                }
                if (errorLine.startsWith("reading ")) {
                    run.reading = QByteArray::fromPercentEncoding(errorLine.mid(8));
                    quiet.restart();
                } else if (run.errors.size() < 65536) {
                    run.errors += errorLine + '\n';
                }
                errorLine.clear();
            }
        }
        if (progress && !progress(QString::fromUtf8(run.reading)))
            run.end = Run::End::Cancelled;
        else if (quiet.elapsed() > limits.quietMs || clock.elapsed() > limits.totalMs)
            run.end = Run::End::Stalled;
        if (run.end != Run::End::Exited)
            break;
    }
    if (run.end != Run::End::Exited)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (run.end == Run::End::Exited && !WIFEXITED(status))
        run.end = Run::End::Died;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace

ScanOutcome scanDisc(const QByteArray &program, const QByteArray &source, const ScanLimits &limits,
                     const std::function<bool(const QString &reading)> &progress) {
    ScanOutcome outcome;
    QList<QByteArray> skip;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const Run run = runOnce(program, source, skip, limits, clock, progress);
        if (run.end == Run::End::Cancelled) {
            outcome.end = ScanEnd::Cancelled;
            return outcome;
        }
        if (run.end == Run::End::NotStarted || (run.end == Run::End::Exited && run.status == 127)) {
            outcome.error = QStringLiteral("cannot start ") + QString::fromLocal8Bit(program);
            return outcome;
        }
        if (run.end == Run::End::Exited && run.status == 0) {
            try {
                outcome.proposal = readProposal(run.out);
            } catch (const ProposalFormatError &error) {
                outcome.error = QString::fromUtf8(error.what());
                return outcome;
            }
            for (const QByteArray &path : skip)
                outcome.proposal.skipped << QString::fromUtf8(path);
            outcome.end = ScanEnd::Done;
            return outcome;
        }
        // A reader that fails on one file costs only that file; one that fails before any file,
        // or again and again, costs the scan.
        const bool another = !run.reading.isEmpty() && !skip.contains(run.reading);
        if (run.end == Run::End::Exited || !another || skip.size() >= limits.restarts ||
            clock.elapsed() > limits.totalMs) {
            outcome.error = QString::fromLocal8Bit(run.errors).trimmed();
            if (outcome.error.isEmpty())
                outcome.error = QStringLiteral("the disc reader stopped before it ended");
            return outcome;
        }
        skip << run.reading;
    }
}

} // namespace disc
