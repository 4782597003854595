#include "vadrel-db/scan/FileFacts.h"

#include <archive.h>
#include <archive_entry.h>

#include <QHash>

#include <memory>
#include <optional>

namespace disc {

namespace {

// A control archive holds a few small texts; more than this unpacked is not a sound package,
// and the bound keeps a compressed bomb from costing anything.
constexpr qsizetype controlArchiveLimit = 4 * 1024 * 1024;
constexpr qsizetype controlFileLimit = 1024 * 1024;

struct Free {
    void operator()(archive *reader) const { archive_read_free(reader); }
};
using Reader = std::unique_ptr<archive, Free>;

// The current entry's data, or nothing when it is damaged or more than `limit` (less what
// `budget` has already spent) once unpacked.
std::optional<QByteArray> entryData(archive *reader, qsizetype limit, qsizetype &budget) {
    QByteArray data;
    char block[16384];
    for (;;) {
        const la_ssize_t got = archive_read_data(reader, block, sizeof block);
        if (got == 0)
            return data;
        if (got < 0)
            return std::nullopt;
        budget -= got;
        if (budget < 0 || data.size() + got > limit)
            return std::nullopt;
        data.append(block, got);
    }
}

// The control.tar member of the outer ar archive, still compressed.
std::optional<QByteArray> controlMember(const QByteArray &bytes) {
    const Reader reader(archive_read_new());
    archive_read_support_format_ar(reader.get());
    if (archive_read_open_memory(reader.get(), bytes.constData(), size_t(bytes.size())) !=
        ARCHIVE_OK)
        return std::nullopt;
    archive_entry *entry = nullptr;
    while (archive_read_next_header(reader.get(), &entry) == ARCHIVE_OK) {
        const QByteArray name = archive_entry_pathname(entry);
        if (name == "control.tar" || name == "control.tar.gz" || name == "control.tar.xz" ||
            name == "control.tar.zst") {
            qsizetype budget = bytes.size();
            return entryData(reader.get(), bytes.size(), budget);
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> controlFile(const QByteArray &member) {
    const Reader reader(archive_read_new());
    // Only the compressions dpkg writes; "all" would include ones run as outside programs.
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_filter_xz(reader.get());
    archive_read_support_filter_zstd(reader.get());
    archive_read_support_format_tar(reader.get());
    if (archive_read_open_memory(reader.get(), member.constData(), size_t(member.size())) !=
        ARCHIVE_OK)
        return std::nullopt;
    qsizetype budget = controlArchiveLimit;
    archive_entry *entry = nullptr;
    while (archive_read_next_header(reader.get(), &entry) == ARCHIVE_OK) {
        const QByteArray name = archive_entry_pathname(entry);
        if (name == "./control" || name == "control")
            return entryData(reader.get(), controlFileLimit, budget);
        // Read through rather than skipped, so that the budget counts what unpacking costs.
        if (!entryData(reader.get(), controlArchiveLimit, budget))
            return std::nullopt;
    }
    return std::nullopt;
}

// The first paragraph's fields, keyed in lower case (field names ignore case); a value's
// continuation lines are left out, as only first lines are wanted.
QHash<QString, QString> fields(const QByteArray &text) {
    QHash<QString, QString> found;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty()) {
            if (found.isEmpty())
                continue;
            break;
        }
        if (line.startsWith(' ') || line.startsWith('\t') || line.startsWith('#'))
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QString name = QString::fromUtf8(line.left(colon)).trimmed().toLower();
        if (!found.contains(name))
            found.insert(name, QString::fromUtf8(line.mid(colon + 1)).trimmed());
    }
    return found;
}

} // namespace

DebFacts readDebControl(const QByteArray &bytes) {
    DebFacts facts;
    const std::optional<QByteArray> member = controlMember(bytes);
    if (!member)
        return facts;
    const std::optional<QByteArray> control = controlFile(*member);
    if (!control)
        return facts;
    const QHash<QString, QString> found = fields(*control);
    facts.package = found.value(QStringLiteral("package"));
    facts.version = found.value(QStringLiteral("version"));
    facts.maintainer = found.value(QStringLiteral("maintainer"));
    facts.homepage = found.value(QStringLiteral("homepage"));
    facts.description = found.value(QStringLiteral("description"));
    facts.section = found.value(QStringLiteral("section"));
    // Every package names itself; a control file without that is not one.
    facts.result = facts.package.isEmpty() ? ReadResult::Damaged : ReadResult::Read;
    return facts;
}

} // namespace disc
