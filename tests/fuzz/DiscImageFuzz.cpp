// A disc image of any bytes (ISO 9660, or UDF as the udf_image target starts from), read as
// `vadrel-db scan` reads one: it is refused with a reason, or its listing is well formed (each
// folder before what it holds, no name twice, reads that agree with the sizes listed) and the
// proposal made from it goes out as JSON lines that read back equal, with valid text and one of the
// six licences.
#include "Check.h"
#include "ReadBack.h"
#include "store/disc/ProposalJson.h"
#include "store/schema/Schema.h"
#include "vadrel-db/scan/DiscSource.h"
#include "vadrel-db/scan/Proposer.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The image lives in memory; libcdio opens it by path, which /proc gives a memfd.
int image() {
    static const int fd = ::memfd_create("vadrel-disc-fuzz", MFD_CLOEXEC);
    return fd;
}

bool holds(const uint8_t *data, size_t size) {
    const int fd = image();
    if (fd < 0 || ::ftruncate(fd, 0) != 0)
        return false;
    for (size_t done = 0; done < size;) {
        const ssize_t written = ::pwrite(fd, data + done, size - done, off_t(done));
        if (written <= 0)
            return false;
        done += size_t(written);
    }
    return true;
}

// Text that comes back the same from the UTF-8 the JSON lines carry.
bool sound(const QString &text) {
    return QString::fromUtf8(text.toUtf8()) == text;
}

void checkListing(const disc::DiscSource &source) {
    const disc::Volume volume = source.volume();
    FUZZ_CHECK(sound(volume.identifier) && sound(volume.volumeSet) && sound(volume.publisher));
    FUZZ_CHECK(sound(source.sourceName()));

    QSet<QByteArray> folders, paths;
    int reads = 0;
    for (const disc::DiscFile &file : source.files()) {
        FUZZ_CHECK(!file.path.isEmpty() && !file.path.startsWith('/') && !file.path.endsWith('/'));
        for (const QByteArray &name : file.path.split('/'))
            FUZZ_CHECK(!name.isEmpty() && name != "." && name != "..");
        // UTF-8 or the disc's code page, one byte a character: never a character lost.
        FUZZ_CHECK(sound(file.name) && (file.name == QString::fromUtf8(file.path) ||
                                        file.name.size() == file.path.size()));
        FUZZ_CHECK(!paths.contains(file.path));
        paths.insert(file.path);
        const qsizetype slash = file.path.lastIndexOf('/');
        FUZZ_CHECK(slash < 0 || folders.contains(file.path.left(slash)));
        FUZZ_CHECK(file.size >= 0 && (!file.folder || file.size == 0));
        if (file.folder) {
            folders.insert(file.path);
            continue;
        }
        if (++reads > 16) // enough to see reads agree, few enough to stay fast
            continue;
        try {
            const QByteArray longer = source.read(file, 64);
            FUZZ_CHECK(longer.size() == std::min<qint64>(64, file.size));
            const QByteArray shorter = source.read(file, 16);
            FUZZ_CHECK(shorter == longer.left(16));
        } catch (const disc::ScanError &) {
            // An extent past the image's end: the proposal counts the file as unreadable.
        }
    }
    FUZZ_CHECK(source.files().size() <= 100'000);
    for (const disc::UnreadPart &part : source.unread())
        FUZZ_CHECK(sound(part.path) && !part.why.isEmpty());
}

void checkProgram(const disc::ProposedProgram &program, const QSet<QString> &names) {
    FUZZ_CHECK(store::schema::licences().contains(program.licence));
    FUZZ_CHECK(!program.name.isEmpty());
    FUZZ_CHECK(names.contains(program.origin));
    for (const QString *text : {&program.name, &program.version, &program.publisher, &program.link,
                                &program.comment, &program.origin})
        FUZZ_CHECK(sound(*text));
}

bool same(const disc::ProposedProgram &a, const disc::ProposedProgram &b) {
    return a.name == b.name && a.version == b.version && a.publisher == b.publisher &&
           a.licence == b.licence && a.year == b.year && a.link == b.link &&
           a.comment == b.comment && a.checked == b.checked && a.origin == b.origin;
}

void checkLines(const disc::Proposal &proposal) {
    QByteArray lines = disc::cdLine(proposal.cd);
    FUZZ_CHECK(lines.endsWith('\n') && lines.count('\n') == 1);
    for (const disc::ProposedProgram &program : proposal.programs) {
        const QByteArray line = disc::programLine(program);
        FUZZ_CHECK(line.endsWith('\n') && line.count('\n') == 1);
        lines += line;
    }
    const std::optional<disc::Proposal> read = readBack(lines);
    FUZZ_CHECK(read.has_value());
    const disc::Proposal &back = *read;
    FUZZ_CHECK(back.unread.empty());
    FUZZ_CHECK(back.cd.description == proposal.cd.description);
    FUZZ_CHECK(back.cd.date == proposal.cd.date);
    FUZZ_CHECK(back.cd.comment == proposal.cd.comment);
    FUZZ_CHECK(back.programs.size() == proposal.programs.size());
    for (size_t i = 0; i < back.programs.size(); ++i)
        FUZZ_CHECK(same(back.programs[i], proposal.programs[i]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!holds(data, size))
        return 0;
    std::unique_ptr<disc::DiscSource> source;
    try {
        source = disc::openDiscSource("/proc/self/fd/" + QByteArray::number(image()));
    } catch (const disc::ScanError &) {
        return 0; // refused with a reason: a good outcome for bytes that are no image
    }
    checkListing(*source);

    const disc::Proposal proposal = disc::propose(*source);
    FUZZ_CHECK(!proposal.cd.description.isEmpty() && sound(proposal.cd.description));
    FUZZ_CHECK(sound(proposal.cd.comment));
    QSet<QString> names;
    for (const disc::DiscFile &file : source->files())
        names.insert(file.name);
    for (const disc::ProposedProgram &program : proposal.programs)
        checkProgram(program, names);
    FUZZ_CHECK(proposal.skipped.isEmpty()); // nothing was asked to be skipped
    checkLines(proposal);
    return 0;
}
