// A Windows Installer package from damaged copies of the disc fixture's (the run script seeds it
// with it). libmsi reads in a child, whose crashes are its own and cost the package only; what is
// checked here is what comes back across: Read exactly when a field was found, trimmed text that
// survives the JSON lines' UTF-8, and no child process or descriptor left behind, however the
// child ended. A sanitizer report from our own code in the child still leaves its input in the
// crashes folder, which the run script looks at.
#include "Check.h"
#include "vadrel-db/scan/FileFacts.h"

#include <QByteArray>
#include <QString>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const pid_t fuzzer = ::getpid();
struct sigaction previous[NSIG];

// libmsi crashes in the child on many damaged packages. There the child dies at once, as it would
// outside the fuzzer, instead of reporting it (slowly) as if the fuzzer itself had crashed.
void crashed(int signal, siginfo_t *info, void *context) {
    if (::getpid() != fuzzer)
        ::_exit(128 + signal);
    const struct sigaction &before = previous[signal];
    if (before.sa_flags & SA_SIGINFO) {
        before.sa_sigaction(signal, info, context);
    } else if (before.sa_handler != SIG_DFL && before.sa_handler != SIG_IGN) {
        before.sa_handler(signal);
    } else {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

// Done at the first input, once libFuzzer and the sanitizers have set their own handlers.
void quietChildren() {
    static const bool done = [] {
        for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
            ::sigaction(signal, nullptr, &previous[signal]);
            struct sigaction mine = previous[signal];
            mine.sa_sigaction = crashed;
            mine.sa_flags |= SA_SIGINFO | SA_ONSTACK;
            ::sigaction(signal, &mine, nullptr);
        }
        return true;
    }();
    (void)done;
}

int openDescriptors() {
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int count = 0;
    while (::readdir(dir))
        ++count;
    ::closedir(dir);
    return count;
}

bool sound(const QString &text) {
    return QString::fromUtf8(text.toUtf8()) == text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    quietChildren();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const int descriptors = openDescriptors();
    const disc::MsiFacts facts = disc::readMsi(bytes);
    FUZZ_CHECK(openDescriptors() == descriptors);
    errno = 0;
    FUZZ_CHECK(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);

    FUZZ_CHECK(facts.result == disc::ReadResult::Read ||
               facts.result == disc::ReadResult::Missing ||
               facts.result == disc::ReadResult::Damaged);
    bool any = false;
    for (const QString *field : {&facts.productName, &facts.productVersion, &facts.manufacturer,
                                 &facts.aboutUrl, &facts.comments}) {
        any = any || !field->isEmpty();
        FUZZ_CHECK(*field == field->trimmed());
        FUZZ_CHECK(sound(*field));
    }
    FUZZ_CHECK((facts.result == disc::ReadResult::Read) == any);
    return 0;
}
