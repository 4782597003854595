#include "vadrel-db/scan/ScanCommand.h"

#include "store/disc/ProposalJson.h"
#include "vadrel-db/scan/DiscSource.h"
#include "vadrel-db/scan/Proposer.h"
#include "vadrel-db/scan/WrongCall.h"

#include <cstdio>
#include <cstring>

namespace {

void put(const QByteArray &line) {
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
}

} // namespace

int scanCommand(int argc, char **argv) {
    disc::ScanOptions options;
    const char *source = nullptr;
    bool progress = false;
    bool optionsEnd = false;
    for (int i = 2; i < argc; ++i) {
        if (!optionsEnd && std::strcmp(argv[i], "--") == 0) {
            optionsEnd = true;
        } else if (!optionsEnd && std::strcmp(argv[i], "--progress") == 0) {
            progress = true;
        } else if (!optionsEnd && std::strcmp(argv[i], "--skip") == 0) {
            if (++i == argc)
                return wrongCall("--skip takes the path of a file on the disc");
            options.skip << QByteArray(argv[i]);
        } else if (!optionsEnd && argv[i][0] == '-' && argv[i][1] != '\0') {
            return wrongCall("unknown option for scan");
        } else if (!source) {
            source = argv[i];
        } else {
            return wrongCall("scan takes one source");
        }
    }
    if (!source)
        return wrongCall("scan takes a disc image, a folder or a device");
    if (progress)
        options.reading = [](const disc::DiscFile &file) {
            // Percent-encoded, so that any name stays on one line and comes back byte for byte
            // with --skip.
            std::fprintf(stderr, "reading %s\n", file.path.toPercentEncoding("/").constData());
            std::fflush(stderr);
        };
    try {
        const auto disc = disc::openDiscSource(QByteArray(source));
        const disc::Proposal proposal = disc::propose(*disc, options);
        put(disc::cdLine(proposal.cd));
        for (const disc::ProposedProgram &program : proposal.programs)
            put(disc::programLine(program));
        if (!proposal.unread.empty()) {
            put(disc::unreadLine(proposal.unread));
            for (const disc::UnreadPart &part : proposal.unread)
                std::fprintf(stderr, "vadrel-db: not read: %s: %s\n",
                             disc::printable(part.path).constData(),
                             disc::printable(part.why).constData());
        }
    } catch (const disc::ScanError &error) {
        std::fprintf(stderr, "vadrel-db: %s\n", error.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
