#include "vadrel-db/AddDisc.h"

#include "store/catalogue/DiscRecord.h"
#include "store/disc/DiscScan.h"
#include "store/engine/Connection.h"
#include "store/engine/DatabaseError.h"
#include "vadrel-db/scan/DiscSource.h"
#include "vadrel-db/scan/WrongCall.h"

#include <QFile>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The child is this same program, found by the kernel rather than by PATH.
QByteArray thisProgram() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
    return length > 0 ? QByteArray(path, length) : QByteArray("vadrel-db");
}

QByteArray absolute(const char *path) {
    if (path[0] == '/')
        return path;
    char here[PATH_MAX];
    return ::getcwd(here, sizeof here) ? QByteArray(here) + '/' + path : QByteArray(path);
}

std::vector<disc::ProposedProgram> checked(const std::vector<disc::ProposedProgram> &programs) {
    std::vector<disc::ProposedProgram> kept;
    for (const disc::ProposedProgram &program : programs)
        if (program.checked)
            kept.push_back(program);
    return kept;
}

} // namespace

int addDiscCommand(int argc, char **argv) {
    bool again = false;
    const char *directory = nullptr;
    std::vector<const char *> sources;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--again") == 0)
            again = true;
        else if (argv[i][0] == '-' && argv[i][1] != '\0')
            return wrongCall("unknown option for add-disc");
        else if (!directory)
            directory = argv[i];
        else
            sources.push_back(argv[i]);
    }
    if (!directory || sources.empty())
        return wrongCall("add-disc takes the catalogue folder and at least one disc");

    const QByteArray fileName = QByteArray(directory) + "/db.mdb";
    struct stat info;
    if (::stat(fileName.constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fprintf(stderr, "vadrel-db: %s has no catalogue (db.mdb)\n", directory);
        return 1;
    }
    store::Connection connection;
    connection.setFile(store::FilePath(fileName, QFile::decodeName(fileName)));
    int status = 0;
    try {
        connection.setConnected(true);
    } catch (const store::DatabaseError &error) {
        std::fprintf(stderr, "vadrel-db: %s\n", error.engineMessage().toLocal8Bit().constData());
        return 1;
    }
    const QByteArray program = thisProgram();
    for (const char *source : sources) {
        const disc::ScanOutcome scan = disc::scanDisc(program, absolute(source), {}, {});
        // The folder a disc is mounted at bears its label, which can hold escape sequences.
        const QByteArray shown = disc::printable(QFile::decodeName(source));
        if (scan.end != disc::ScanEnd::Done) {
            std::fprintf(stderr, "vadrel-db: %s: %s\n", shown.constData(),
                         disc::printable(scan.error).constData());
            status = 1;
            continue;
        }
        for (const QString &path : scan.proposal.skipped)
            std::fprintf(stderr, "vadrel-db: warning: %s: gave up reading %s\n", shown.constData(),
                         disc::printable(path).constData());
        for (const disc::UnreadPart &part : scan.proposal.unread)
            std::fprintf(stderr, "vadrel-db: warning: %s: not read: %s: %s\n", shown.constData(),
                         disc::printable(part.path).constData(),
                         disc::printable(part.why).constData());
        const disc::ProposedCd &cd = scan.proposal.cd;
        try {
            if (const auto already = store::catalogedDisc(connection, cd); already && !again) {
                std::printf("Skipped %s: already catalogued as CD %lld (use --again to add it)\n",
                            shown.constData(), static_cast<long long>(*already));
                continue;
            }
            const auto programs = checked(scan.proposal.programs);
            const store::StoredDisc stored = store::storeDisc(connection, {}, cd, programs);
            std::printf("CD %lld: %s, %zu programs\n", static_cast<long long>(stored.cd),
                        disc::printable(cd.description).constData(), stored.programs.size());
            std::fflush(stdout);
        } catch (const store::DatabaseError &error) {
            std::fprintf(stderr, "vadrel-db: %s: nothing stored: %s\n", shown.constData(),
                         error.engineMessage().toLocal8Bit().constData());
            status = 1;
        }
    }
    return status;
}
