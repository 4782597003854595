// The DOS and Windows description files. The input is AUTORUN.INF, DESCRIPT.ION and FILE_ID.DIZ
// one after another, a NUL byte between them (a piece left out is a file that is not there).
// Each reader is given all of the bytes: its lines are trimmed single lines of text, never with
// a character the bytes did not give; and the same bytes cut short say no more than the whole.
// Then the pieces go into a folder beside a zipped program, and the one program proposed for it
// takes its words from them and reads back equal from its JSON line.
#include "Check.h"
#include "ReadBack.h"
#include "store/disc/ProposalJson.h"
#include "store/schema/Schema.h"
#include "vadrel-db/scan/DescriptionFiles.h"
#include "vadrel-db/scan/DiscSource.h"
#include "vadrel-db/scan/Proposer.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

// A stored zip holding A.EXE: the folder's one program, which FILE_ID.DIZ then describes.
const unsigned char kZip[] = {
    0x50, 0x4b, 0x03, 0x04, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xc1, 0x2c, 0x5d, 0x9b,
    0xb0, 0x8f, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x41, 0x2e,
    0x45, 0x58, 0x45, 0x4d, 0x5a, 0x50, 0x4b, 0x01, 0x02, 0x14, 0x03, 0x14, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0xc1, 0x2c, 0x5d, 0x9b, 0xb0, 0x8f, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
    0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x41, 0x2e, 0x45, 0x58, 0x45, 0x50, 0x4b, 0x05, 0x06, 0x00, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x01, 0x00, 0x33, 0x00, 0x00, 0x00, 0x25, 0x00, 0x00, 0x00, 0x00, 0x00};

const QString kOrigin = QStringLiteral("PROG/PROG.ZIP");

bool sound(const QString &text) {
    return QString::fromUtf8(text.toUtf8()) == text && !text.contains(QChar::ReplacementCharacter);
}

bool oneLine(const QString &text) {
    return !text.contains(u'\n') && !text.contains(u'\r') && !text.contains(QChar(0x1A));
}

void checkDiz(const QStringList &lines, const QStringList &whole) {
    for (const QString &line : lines) {
        FUZZ_CHECK(!line.isEmpty() && line == line.trimmed() && oneLine(line) && sound(line));
    }
    // Cut short, the lines are the whole's up to the last one, which may itself be cut.
    FUZZ_CHECK(lines.size() <= whole.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        FUZZ_CHECK(i + 1 < lines.size() ? lines[i] == whole[i] : whole[i].startsWith(lines[i]));
}

void checkDescriptIon(const std::map<QString, QString> &descriptions,
                      const std::map<QString, QString> &whole) {
    for (const auto &[name, description] : descriptions) {
        FUZZ_CHECK(!name.isEmpty() && name == name.toUpper() && oneLine(name) && sound(name));
        FUZZ_CHECK(!description.isEmpty() && description == description.trimmed());
        FUZZ_CHECK(oneLine(description) && !description.contains(QChar(0x04)) &&
                   sound(description));
        FUZZ_CHECK(whole.count(name) == 1);
    }
}

void checkAutorun(const disc::Autorun &autorun) {
    FUZZ_CHECK(oneLine(autorun.label) && sound(autorun.label));
    FUZZ_CHECK(oneLine(autorun.open) && sound(autorun.open));
    FUZZ_CHECK(!autorun.open.contains(u'\\') && !autorun.open.startsWith(u'/') &&
               !autorun.open.startsWith(QStringLiteral("./")));
}

// In memory where the system offers it: a disk file system flushes a file truncated and
// rewritten at every input.
QString scratch() {
    const QDir shm(QStringLiteral("/dev/shm"));
    return (shm.exists() ? shm : QDir::temp())
        .filePath(QStringLiteral("vadrel-description-fuzz-%1").arg(::getpid()));
}

// The disc: DISCO/ with AUTORUN.INF and DESCRIPT.ION, and DISCO/PROG/ with the zip, its
// FILE_ID.DIZ and a DESCRIPT.ION of its own.
const QByteArray &disco() {
    static const QByteArray path = [] {
        const QString top = scratch();
        QDir(top).removeRecursively();
        QDir().mkpath(top + QStringLiteral("/DISCO/PROG"));
        QFile zip(top + QStringLiteral("/DISCO/PROG/PROG.ZIP"));
        if (zip.open(QIODevice::WriteOnly))
            zip.write(reinterpret_cast<const char *>(kZip), sizeof kZip);
        std::atexit([] { QDir(scratch()).removeRecursively(); });
        return QFile::encodeName(top + QStringLiteral("/DISCO"));
    }();
    return path;
}

void put(const char *name, const std::optional<QByteArray> &bytes) {
    const QByteArray path = disco() + '/' + name;
    ::unlink(path.constData());
    if (!bytes)
        return;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    for (qsizetype done = 0; done < bytes->size();) {
        const ssize_t written =
            ::write(fd, bytes->constData() + done, size_t(bytes->size() - done));
        if (written <= 0)
            break;
        done += written;
    }
    ::close(fd);
}

bool same(const disc::ProposedProgram &a, const disc::ProposedProgram &b) {
    return a.name == b.name && a.version == b.version && a.publisher == b.publisher &&
           a.licence == b.licence && a.year == b.year && a.link == b.link &&
           a.comment == b.comment && a.checked == b.checked && a.origin == b.origin;
}

void checkProposal(const QList<QByteArray> &pieces) {
    const auto piece = [&](qsizetype i) {
        return i < pieces.size() ? std::optional(pieces[i]) : std::nullopt;
    };
    put("AUTORUN.INF", piece(0));
    put("DESCRIPT.ION", piece(1));
    put("PROG/DESCRIPT.ION", piece(1));
    put("PROG/FILE_ID.DIZ", piece(2));

    const auto source = disc::openDiscSource(disco());
    const disc::Proposal proposal = disc::propose(*source);

    const QString label = disc::readAutorun(piece(0).value_or(QByteArray())).label.trimmed();
    FUZZ_CHECK(proposal.cd.description == (label.isEmpty() ? QStringLiteral("DISCO") : label));
    // A disc of files written at one moment has no date it can tell.
    FUZZ_CHECK(proposal.cd.date.isValid() || proposal.cd.comment.startsWith(disc::unknownDate()));

    FUZZ_CHECK(proposal.programs.size() == 1);
    const disc::ProposedProgram &program = proposal.programs.front();
    FUZZ_CHECK(program.origin == kOrigin && program.checked);
    FUZZ_CHECK(store::schema::licences().contains(program.licence));
    FUZZ_CHECK(!program.name.isEmpty() && program.name == program.name.trimmed());
    FUZZ_CHECK(!program.year || (*program.year >= 1970 && *program.year <= 2099));
    static const QRegularExpression version(QStringLiteral("^(\\d+(\\.\\d+)*[a-z]?)?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    FUZZ_CHECK(version.match(program.version).hasMatch());

    // The name, the version and the publisher come from FILE_ID.DIZ, or the name from the folder.
    const QStringList diz = disc::readFileIdDiz(piece(2).value_or(QByteArray()));
    if (diz.isEmpty())
        FUZZ_CHECK(program.name == u"Prog" && program.version.isEmpty() &&
                   program.publisher.isEmpty());
    else
        FUZZ_CHECK(program.name == u"Prog" || diz.first().contains(program.name));
    FUZZ_CHECK(program.version.isEmpty() || diz.first().contains(program.version));
    bool publisherSaid = program.publisher.isEmpty();
    for (const QString &line : diz)
        publisherSaid = publisherSaid || line.contains(program.publisher);
    FUZZ_CHECK(publisherSaid);

    // The comment: what describes the program, then where it is on the disc.
    const QStringList comment = program.comment.split(u'\n');
    FUZZ_CHECK(comment.last() == QStringLiteral("En el disco: ") + kOrigin);
    for (const QString &line : comment)
        FUZZ_CHECK(!line.isEmpty() && line == line.trimmed() && sound(line));
    const auto descriptions = disc::readDescriptIon(piece(1).value_or(QByteArray()));
    QStringList said;
    if (!diz.isEmpty() && program.name != u"Prog") // a FILE_ID.DIZ naming it describes it
        said << diz.join(u' ');
    for (const char *name : {"PROG.ZIP", "PROG"})
        if (const auto found = descriptions.find(QString::fromLatin1(name));
            found != descriptions.end())
            said << found->second;
    for (const QString &words : said)
        FUZZ_CHECK(comment.contains(words, Qt::CaseInsensitive));

    const QByteArray lines = disc::cdLine(proposal.cd) + disc::programLine(program);
    const std::optional<disc::Proposal> read = readBack(lines);
    FUZZ_CHECK(read.has_value());
    const disc::Proposal &back = *read;
    FUZZ_CHECK(back.cd.description == proposal.cd.description && back.cd.date == proposal.cd.date &&
               back.cd.comment == proposal.cd.comment);
    FUZZ_CHECK(back.programs.size() == 1 && same(back.programs.front(), program));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const QStringList diz = disc::readFileIdDiz(bytes);
    checkDiz(diz, diz);
    const auto descriptions = disc::readDescriptIon(bytes);
    checkDescriptIon(descriptions, descriptions);
    checkAutorun(disc::readAutorun(bytes));

    // One cut per input, where its bytes say: the fuzzer varies where.
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    const QByteArray cut = bytes.left(qsizetype(hash % (size + 1)));
    checkDiz(disc::readFileIdDiz(cut), diz);
    checkDescriptIon(disc::readDescriptIon(cut), descriptions);
    checkAutorun(disc::readAutorun(cut));

    checkProposal(bytes.split('\0'));
    return 0;
}
