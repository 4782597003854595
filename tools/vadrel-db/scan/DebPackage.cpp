#include "vadrel-db/scan/ArchivePieces.h"
#include "vadrel-db/scan/FileFacts.h"

#include <archive.h>
#include <archive_entry.h>

#include <QHash>
#include <QRegularExpression>

#include <memory>
#include <optional>

namespace disc {

namespace {

// A control archive holds a few small texts; more than this unpacked is not a sound package,
// and the bound keeps a compressed bomb from costing anything.
constexpr qsizetype controlArchiveLimit = 4 * 1024 * 1024;
constexpr qsizetype controlFileLimit = 1024 * 1024;
// The program's files are unpacked this far at most to find its copyright file, which dpkg
// stores after the programs themselves.
constexpr qsizetype dataLimit = 64 * 1024 * 1024;
constexpr qsizetype copyrightLimit = 256 * 1024;

// The data.tar member, read through the outer ar archive's data without holding it.
la_ssize_t readMember(archive *, void *data, const void **buffer) {
    static thread_local char block[65536];
    *buffer = block;
    return archive_read_data(static_cast<archive *>(data), block, sizeof block);
}

Reader innerTar(archive *outer) {
    Reader reader(archive_read_new());
    // Only the compressions dpkg writes; "all" would include ones run as outside programs.
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_filter_xz(reader.get());
    archive_read_support_filter_zstd(reader.get());
    archive_read_support_format_tar(reader.get());
    if (archive_read_open(reader.get(), outer, nullptr, readMember, nullptr) != ARCHIVE_OK)
        return nullptr;
    return reader;
}

// The package's own copyright file, found in its data within a bound, or nothing.
std::optional<QByteArray> copyrightFile(archive *outer, const QString &package) {
    const Reader reader = innerTar(outer);
    if (!reader || package.isEmpty())
        return std::nullopt;
    const QByteArray wanted = "usr/share/doc/" + package.toUtf8() + "/copyright";
    qsizetype budget = dataLimit;
    archive_entry *entry = nullptr;
    while (archive_read_next_header(reader.get(), &entry) == ARCHIVE_OK) {
        QByteArray name = archive_entry_pathname(entry);
        if (name.startsWith("./"))
            name.remove(0, 2);
        if (name == wanted && archive_entry_filetype(entry) == AE_IFREG)
            return entryData(reader.get(), copyrightLimit, budget);
        if (archive_read_data_skip(reader.get()) != ARCHIVE_OK)
            return std::nullopt;
        budget -= qsizetype(archive_entry_size(entry));
        if (budget < 0)
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<QByteArray> controlFile(archive *outer) {
    const Reader reader = innerTar(outer);
    if (!reader)
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

// A holder's name from a copyright line: "Copyright (C) 1998-2003, Ana Pérez <ana@x>" gives
// "Ana Pérez".
QString holderOf(QString line) {
    static const QRegularExpression lead(
        QStringLiteral("^(?:copyright\\b|\\(c\\)|©|[:\\s\\d,\\-–/]|by\\b)+"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression address(QStringLiteral("\\s*<[^>]*>.*$"));
    line.remove(lead).remove(address);
    line = line.trimmed();
    while (line.endsWith(u',') || line.endsWith(u'.'))
        line.chop(1);
    return line.contains(QRegularExpression(QStringLiteral("\\p{L}"))) ? line : QString();
}

} // namespace

QString upstreamOf(const QByteArray &copyright) {
    const QString text =
        QString::fromUtf8(copyright).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = text.split(u'\n');
    // The machine-readable format: fields, their values continued on indented lines.
    const auto field = [&](const QString &name) -> QString {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (!lines[i].startsWith(name + u':', Qt::CaseInsensitive))
                continue;
            QString value = lines[i].mid(name.size() + 1).trimmed();
            for (qsizetype j = i + 1; value.isEmpty() && j < lines.size() &&
                                      (lines[j].startsWith(u' ') || lines[j].startsWith(u'\t'));
                 ++j)
                value = lines[j].trimmed();
            return value;
        }
        return {};
    };
    if (lines.value(0).startsWith(QStringLiteral("Format:"), Qt::CaseInsensitive)) {
        if (const QString contact = holderOf(field(QStringLiteral("Upstream-Contact")));
            !contact.isEmpty())
            return contact;
        return holderOf(field(QStringLiteral("Copyright")));
    }
    static const QRegularExpression notice(
        QStringLiteral("^\\s*(?:copyright\\s*)?(?:\\(c\\)|©)|^\\s*copyright\\s+\\d"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString &line : lines)
        if (notice.match(line).hasMatch())
            if (const QString holder = holderOf(line); !holder.isEmpty())
                return holder;
    return {};
}

DebFacts readDebControl(const QByteArray &bytes) {
    return readDebControl(piecesOf(bytes));
}

DebFacts readDebControl(const Pieces &file) {
    DebFacts facts;
    const Reader outer(archive_read_new());
    archive_read_support_format_ar(outer.get());
    PieceReader state{&file};
    if (file.size <= 0 || !openOnPieces(outer.get(), state))
        return facts;
    std::optional<QByteArray> control;
    archive_entry *entry = nullptr;
    while (archive_read_next_header(outer.get(), &entry) == ARCHIVE_OK) {
        const QByteArray name = archive_entry_pathname(entry);
        if (!control && name.startsWith("control.tar")) {
            control = controlFile(outer.get());
            if (!control)
                return facts;
        } else if (control && name.startsWith("data.tar")) {
            if (const auto copyright =
                    copyrightFile(outer.get(), fields(*control).value(QStringLiteral("package"))))
                facts.upstream = upstreamOf(*copyright);
            break;
        }
    }
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
