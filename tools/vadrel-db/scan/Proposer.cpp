#include "vadrel-db/scan/Proposer.h"

#include "store/schema/Schema.h"
#include "vadrel-db/scan/DescriptionFiles.h"
#include "vadrel-db/scan/DiscSource.h"
#include "vadrel-db/scan/FileFacts.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <algorithm>
#include <map>

namespace disc {

namespace {

// What is read of a file at most: enough for any installer's headers and resources, little
// enough that a 2 GB file costs no more than a small one.
constexpr qint64 kProgramBytes = 32 << 20;
constexpr qint64 kTextBytes = 64 << 10;
constexpr qint64 kProgramHead = 64 << 10;

const QString kFreeware = QStringLiteral("Freeware");

// Lower case without accents, as words are compared: "Evaluación" and "evaluacion" alike.
QString folded(const QString &text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_D).toLower();
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out;
}

QString upperName(const QString &name) {
    return name.toUpper();
}

QString baseName(const QString &path) {
    return path.section(u'/', -1);
}

QString withoutExtension(const QString &name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

QString extension(const QString &name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.mid(dot + 1).toLower() : QString();
}

// A DOS name in capitals reads as a word: "AJEDREZ" is "Ajedrez".
QString asWord(const QString &name) {
    if (name.isEmpty() || name != name.toUpper())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

bool isProgramName(const QString &name) {
    const QString ext = extension(name);
    return ext == u"exe" || ext == u"com" || ext == u"msi";
}

QString joined(const QStringList &parts, const QString &separator) {
    QStringList kept;
    for (const QString &part : parts)
        if (const QString trimmed = part.trimmed();
            !trimmed.isEmpty() && !kept.contains(trimmed, Qt::CaseInsensitive))
            kept << trimmed;
    return kept.join(separator);
}

// A time no disc was written at: unknown, zeroed (the epoch) or yet to come.
bool meaningless(const QDateTime &time) {
    return !time.isValid() || time.date() <= QDate(1970, 1, 1) ||
           time > QDateTime::currentDateTimeUtc().addDays(1);
}

// "Equipo Editor <editor@example.org>": the name without the address.
QString withoutAddress(const QString &maintainer) {
    static const QRegularExpression address(QStringLiteral("\\s*<[^>]*>\\s*"));
    return QString(maintainer).remove(address).trimmed();
}

bool isWebLink(const QString &text) {
    return text.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
           text.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}

// What a FILE_ID.DIZ says: its first line names the program (and often its version), a
// copyright line names the publisher and the year.
struct DizFacts {
    QString name, version, publisher, text;
    std::optional<int> year;
};

DizFacts dizFacts(const QStringList &lines) {
    DizFacts facts;
    if (lines.isEmpty())
        return facts;
    facts.text = lines.join(u' ');
    static const QRegularExpression named(
        QStringLiteral("^(.*?)[\\s,]+(?:v|ver\\.?|versi[oó]n)\\s*(\\d+(?:\\.\\d+)*[a-z]?)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression numbered(
        QStringLiteral("^(.*?)\\s+(\\d+\\.\\d+(?:\\.\\d+)*)$"));
    const QString first = lines.first();
    if (const auto match = named.match(first); match.hasMatch()) {
        facts.name = match.captured(1).trimmed();
        facts.version = match.captured(2);
    } else if (const auto number = numbered.match(first); number.hasMatch()) {
        facts.name = number.captured(1).trimmed();
        facts.version = number.captured(2);
    } else {
        facts.name = first;
    }
    static const QRegularExpression copyright(
        QStringLiteral("(?:©|\\(c\\)|copyright)\\s*[\\d\\s,\\-–/]*(?:by\\s+|por\\s+)?(.*)$"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString &line : lines) {
        const auto match = copyright.match(line);
        if (!match.hasMatch())
            continue;
        facts.year = copyrightYear(line);
        facts.publisher = match.captured(1).trimmed();
        break;
    }
    return facts;
}

// One folder of the disc and what describes it.
struct Folder {
    QByteArray path;
    QString name; // the path as the disc's encoding reads it
    std::vector<const DiscFile *> files;
    std::map<QString, const DiscFile *> byName; // upper case
};

class Proposer {
public:
    Proposer(const DiscSource &source, const ScanOptions &options)
        : source_(source)
        , options_(options) {
        for (const DiscFile &file : source.files()) {
            if (file.folder) {
                folderOrder_.push_back(file.path);
                folders_[file.path].path = file.path;
                folders_[file.path].name = file.name;
                continue;
            }
            const qsizetype slash = file.path.lastIndexOf('/');
            const QByteArray parent = slash < 0 ? QByteArray() : file.path.left(slash);
            Folder &folder = folders_[parent];
            folder.path = parent;
            folder.files.push_back(&file);
            folder.byName[upperName(baseName(file.name))] = &file;
            if (file.modified.isValid() && (!newest_.isValid() || file.modified > newest_))
                newest_ = file.modified;
            if (file.modified.isValid() && (!oldest_.isValid() || file.modified < oldest_))
                oldest_ = file.modified;
            untold_ = untold_ || meaningless(file.modified);
        }
        // A copied folder's files all carry the moments of the copy, a day apart at most even
        // when it ran past midnight: they tell nothing.
        datesTell_ = !untold_ && oldest_.secsTo(newest_) > 24 * 60 * 60;
    }

    Proposal run() {
        Proposal proposal;
        const Folder &root = folders_[QByteArray()];
        Autorun autorun;
        if (const DiscFile *inf = find(root, QStringLiteral("AUTORUN.INF")))
            if (const auto bytes = readText(*inf))
                autorun = readAutorun(*bytes);
        menu_ = upperName(autorun.open);
        proposal.cd = cd(autorun);

        proposeIn(root, proposal);
        for (const QByteArray &path : folderOrder_)
            proposeIn(folders_[path], proposal);
        proposal.skipped = skipped_;
        proposal.unread = source_.unread();
        return proposal;
    }

private:
    ProposedCd cd(const Autorun &autorun) const {
        const Volume volume = source_.volume();
        ProposedCd cd;
        for (const QString &candidate :
             {autorun.label, volume.volumeSet, volume.identifier, source_.sourceName()})
            if (!candidate.trimmed().isEmpty()) {
                cd.description = candidate.trimmed();
                break;
            }
        if (!meaningless(volume.created))
            cd.date = volume.created.date();
        else if (datesTell_)
            cd.date = newest_.date();
        QStringList comment;
        if (!cd.date.isValid())
            comment << unknownDate();
        if (!volume.identifier.isEmpty())
            comment << QStringLiteral("Volumen: ") + volume.identifier;
        if (!volume.publisher.isEmpty())
            comment << QStringLiteral("Editor: ") + volume.publisher;
        cd.comment = comment.join(u'\n');
        identify(cd);
        return cd;
    }

    // The files' bytes together and a digest of the sorted listing: the discs of a set share a
    // label and a date, never both of these.
    void identify(ProposedCd &cd) const {
        std::vector<QByteArray> lines;
        lines.reserve(source_.files().size());
        for (const DiscFile &file : source_.files()) {
            cd.bytes += file.folder ? 0 : file.size;
            lines.push_back(file.path +
                            (file.folder ? QByteArray("/") : '\t' + QByteArray::number(file.size)));
        }
        std::sort(lines.begin(), lines.end());
        QCryptographicHash digest(QCryptographicHash::Sha256);
        for (const QByteArray &line : lines) {
            digest.addData(line);
            digest.addData(QByteArrayView("\n", 1));
        }
        cd.listing = QString::fromLatin1(digest.result().toHex());
    }

    const DiscFile *find(const Folder &folder, const QString &name) const {
        const auto found = folder.byName.find(name);
        return found == folder.byName.end() ? nullptr : found->second;
    }

    bool skipped(const DiscFile &file) {
        if (!options_.skip.contains(file.path))
            return false;
        if (!skipped_.contains(file.name))
            skipped_ << file.name;
        return true;
    }

    // The bytes of a file, or nothing when it is to be skipped or cannot be read.
    std::optional<QByteArray> read(const DiscFile &file, qint64 limit) {
        if (skipped(file))
            return std::nullopt;
        if (options_.reading)
            options_.reading(file);
        try {
            return source_.read(file, limit);
        } catch (const ScanError &) {
            return std::nullopt;
        }
    }
    std::optional<QByteArray> readText(const DiscFile &file) { return read(file, kTextBytes); }

    // A file for a reader that takes the pieces it needs; nothing when it is to be skipped.
    std::optional<Pieces> pieces(const DiscFile &file) {
        if (skipped(file))
            return std::nullopt;
        if (options_.reading)
            options_.reading(file);
        const DiscSource &source = source_;
        return Pieces{[&source, &file](qint64 offset, qint64 length) {
                          try {
                              return source.readAt(file, offset, length);
                          } catch (const ScanError &) {
                              return QByteArray();
                          }
                      },
                      file.size};
    }

    // The name a program without facts of its own takes: its folder's, or at the root its file's.
    QString fallbackName(const Folder &folder, const DiscFile &file) const {
        if (folder.path.isEmpty())
            return asWord(withoutExtension(baseName(file.name)));
        return asWord(baseName(folder.name));
    }

    // What the folder's parent's DESCRIPT.ION says of the folder, and the folder's own of a file.
    QString describedFolder(const Folder &folder) {
        if (folder.path.isEmpty())
            return {};
        const qsizetype slash = folder.path.lastIndexOf('/');
        const QByteArray parentPath = slash < 0 ? QByteArray() : folder.path.left(slash);
        const auto descriptions = descriptIon(folders_[parentPath]);
        const auto found = descriptions.find(upperName(baseName(folder.name)));
        return found == descriptions.end() ? QString() : found->second;
    }
    QString describedFile(const Folder &folder, const DiscFile &file) {
        const auto descriptions = descriptIon(folder);
        const auto found = descriptions.find(upperName(baseName(file.name)));
        return found == descriptions.end() ? QString() : found->second;
    }
    std::map<QString, QString> descriptIon(const Folder &folder) {
        const auto cached = descriptIons_.find(folder.path);
        if (cached != descriptIons_.end())
            return cached->second;
        std::map<QString, QString> descriptions;
        if (const DiscFile *file = find(folder, QStringLiteral("DESCRIPT.ION")))
            if (const auto bytes = readText(*file))
                descriptions = readDescriptIon(*bytes);
        return descriptIons_[folder.path] = descriptions;
    }

    ProposedProgram program(const Folder &folder, const DiscFile &file, const QString &name,
                            const QString &about, const QString &hint) {
        ProposedProgram program;
        program.name = name.trimmed().isEmpty() ? fallbackName(folder, file) : name.trimmed();
        program.origin = file.name;
        if (datesTell_)
            program.year = file.modified.date().year();
        const QString words =
            joined({about, hint, describedFile(folder, file), describedFolder(folder)},
                   QStringLiteral(" "));
        const QString licence = licenceFromWords(words + u' ' + name);
        program.licence = licence.isEmpty() ? kFreeware : licence;
        program.licenceGuessed = licence.isEmpty();
        program.comment = joined({about, describedFile(folder, file), describedFolder(folder),
                                  QStringLiteral("En el disco: ") + file.name},
                                 QStringLiteral("\n"));
        return program;
    }

    ProposedProgram unreadable(const Folder &folder, const DiscFile &file,
                               ReadResult result = ReadResult::Damaged) {
        ProposedProgram program = this->program(folder, file, {}, {}, {});
        const bool wasSkipped = options_.skip.contains(file.path);
        program.comment.prepend((wasSkipped                       ? disc::stoppedReason()
                                 : result == ReadResult::TooLarge ? disc::tooLargeReason()
                                                                  : disc::damagedReason()) +
                                u'\n');
        program.checked = false; // stored only when the user says so
        return program;
    }

    void proposeIn(const Folder &folder, Proposal &proposal) {
        std::vector<ProposedProgram> found;
        DizFacts diz;
        if (const DiscFile *file = find(folder, QStringLiteral("FILE_ID.DIZ")))
            if (const auto bytes = readText(*file))
                diz = dizFacts(readFileIdDiz(*bytes));

        // Installers and archives each make a program of their own.
        for (const DiscFile *file : folder.files) {
            const QString ext = extension(file->name);
            if (ext == u"msi")
                found.push_back(msiProgram(folder, *file));
            else if (ext == u"deb")
                found.push_back(debProgram(folder, *file));
            else if (ext == u"rpm")
                found.push_back(rpmProgram(folder, *file));
            else if (ext == u"zip" || ext == u"jar")
                if (auto program = zipProgram(folder, *file, diz))
                    found.push_back(*program);
        }

        // Windows programs: one per product their version resources name; without any, one for
        // the folder.
        std::map<QString, std::pair<const DiscFile *, VersionFacts>> products;
        std::vector<const DiscFile *> plain;
        const DiscFile *damaged = nullptr;
        for (const DiscFile *file : folder.files) {
            const QString ext = extension(file->name);
            if (ext != u"exe" && ext != u"com")
                continue;
            VersionFacts facts = versionOf(*file);
            if (facts.result == ReadResult::Missing)
                facts = nsisOf(*file, facts);
            if (upperName(file->name) == menu_) {
                ProposedProgram menu = facts.result == ReadResult::Read
                                           ? versionProgram(folder, *file, facts)
                                           : program(folder, *file, {}, {}, {});
                menu.checked = false;
                menu.comment.prepend(QStringLiteral("Menú del disco (AUTORUN.INF).\n"));
                proposal.programs.push_back(menu);
                continue;
            }
            const QString product =
                folded(facts.productName.isEmpty() ? facts.fileDescription : facts.productName);
            if (facts.result == ReadResult::Read && !product.isEmpty()) {
                auto &chosen = products[product];
                if (!chosen.first || prefer(*file, *chosen.first))
                    chosen = {file, facts};
            } else if (facts.result == ReadResult::Damaged) {
                damaged = damaged ? damaged : file;
            } else {
                plain.push_back(file);
            }
        }
        for (const auto &[product, chosen] : products)
            found.push_back(versionProgram(folder, *chosen.first, chosen.second));
        if (found.empty() && !plain.empty()) {
            const DiscFile *best = plain.front();
            for (const DiscFile *file : plain)
                if (prefer(*file, *best))
                    best = file;
            found.push_back(dizProgram(folder, *best, diz));
        } else if (found.empty() && damaged) {
            found.push_back(unreadable(folder, *damaged));
        }
        for (ProposedProgram &program : found)
            proposal.programs.push_back(std::move(program));
    }

    // A program's sections only, when its headers say where they end: an installer's appended
    // payload is most of its size and none of its version resource. Read whole (to the cap)
    // when that finds nothing, as a signature or an odd layout may put things after them.
    VersionFacts versionOf(const DiscFile &file) {
        const std::optional<QByteArray> head = read(file, kProgramHead);
        if (!head)
            return {};
        const qint64 extent = programExtent(*head);
        if (extent > 0 && extent < file.size) {
            const std::optional<QByteArray> sections =
                extent <= head->size() ? head->left(extent)
                                       : read(file, std::min(extent, kProgramBytes));
            if (const VersionFacts facts =
                    sections ? readVersionResource(*sections) : VersionFacts{};
                facts.result == ReadResult::Read)
                return facts;
        }
        if (head->size() >= file.size)
            return readVersionResource(*head);
        const std::optional<QByteArray> whole = read(file, kProgramBytes);
        return whole ? readVersionResource(*whole) : VersionFacts{};
    }

    // A Nullsoft installer's own header, for a program with data after its sections and no
    // version resource: what its script gave, as its version resource would.
    VersionFacts nsisOf(const DiscFile &file, const VersionFacts &missing) {
        const std::optional<QByteArray> head = read(file, kProgramHead);
        const qint64 extent = head ? programExtent(*head) : 0;
        const auto installer = extent > 0 && extent < file.size ? pieces(file) : std::nullopt;
        const NsisFacts nsis = installer ? readNsis(*installer) : NsisFacts{};
        if (nsis.result != ReadResult::Read)
            return missing;
        VersionFacts facts;
        facts.result = ReadResult::Read;
        facts.productName = nsis.name;
        facts.productVersion = nsis.version;
        facts.companyName = nsis.publisher;
        // "Name" often carries the version: "Editor 2.4".
        if (const DizFacts named = dizFacts({nsis.name}); !named.version.isEmpty()) {
            facts.productName = named.name;
            if (nsis.version.isEmpty())
                facts.productVersion = named.version;
        }
        return facts;
    }

    // An installer by name first, then the larger file.
    static bool prefer(const DiscFile &candidate, const DiscFile &chosen) {
        static const QRegularExpression installer(QStringLiteral("^(setup|install)"),
                                                  QRegularExpression::CaseInsensitiveOption);
        const bool a = installer.match(baseName(candidate.name)).hasMatch();
        const bool b = installer.match(baseName(chosen.name)).hasMatch();
        if (a != b)
            return a;
        return candidate.size > chosen.size;
    }

    ProposedProgram versionProgram(const Folder &folder, const DiscFile &file,
                                   const VersionFacts &facts) {
        const QString name =
            facts.productName.isEmpty() ? facts.fileDescription : facts.productName;
        const QString about = joined(
            {facts.fileDescription == name ? QString() : facts.fileDescription, facts.comments},
            QStringLiteral(". "));
        ProposedProgram program = this->program(folder, file, name, about, facts.legalCopyright);
        program.version = facts.productVersion.isEmpty() ? facts.fileVersion : facts.productVersion;
        program.publisher = facts.companyName;
        if (const auto year = copyrightYear(facts.legalCopyright))
            program.year = year;
        return program;
    }

    ProposedProgram dizProgram(const Folder &folder, const DiscFile &file, const DizFacts &diz) {
        ProposedProgram program = this->program(folder, file, diz.name, diz.text, {});
        program.version = diz.version;
        program.publisher = diz.publisher;
        if (diz.year)
            program.year = diz.year;
        return program;
    }

    ProposedProgram msiProgram(const Folder &folder, const DiscFile &file) {
        const auto package = pieces(file);
        const MsiFacts facts = package ? readMsi(*package) : MsiFacts{};
        if (facts.result != ReadResult::Read)
            return unreadable(folder, file, facts.result);
        ProposedProgram program =
            this->program(folder, file, facts.productName, facts.comments, {});
        program.version = facts.productVersion;
        program.publisher = facts.manufacturer;
        if (isWebLink(facts.aboutUrl))
            program.link = facts.aboutUrl;
        return program;
    }

    ProposedProgram debProgram(const Folder &folder, const DiscFile &file) {
        const auto package = pieces(file);
        const DebFacts facts = package ? readDebControl(*package) : DebFacts{};
        if (facts.result != ReadResult::Read)
            return unreadable(folder, file);
        ProposedProgram program = this->program(folder, file, facts.package, facts.description, {});
        program.version = facts.version;
        // Who made the program, not who packaged it for Debian.
        program.publisher = withoutAddress(facts.upstream);
        // A package of the archive's free sections is free software, whatever its words say.
        if (!facts.section.startsWith(QStringLiteral("non-free"))) {
            program.licence = kFreeware;
            program.licenceGuessed = false;
        }
        if (isWebLink(facts.homepage))
            program.link = facts.homepage;
        return program;
    }

    ProposedProgram rpmProgram(const Folder &folder, const DiscFile &file) {
        const auto package = pieces(file);
        const RpmFacts facts = package ? readRpm(*package) : RpmFacts{};
        if (facts.result != ReadResult::Read)
            return unreadable(folder, file, facts.result);
        ProposedProgram program =
            this->program(folder, file, facts.name, facts.summary, facts.licence);
        program.version = facts.version;
        program.publisher = facts.vendor;
        if (isWebLink(facts.url))
            program.link = facts.url;
        return program;
    }

    // An archive proposes a program when it holds one or describes itself; its own description
    // comes before its folder's.
    std::optional<ProposedProgram> zipProgram(const Folder &folder, const DiscFile &file,
                                              const DizFacts &folderDiz) {
        const auto archive = pieces(file);
        const ZipFacts facts = archive ? listZip(*archive) : ZipFacts{};
        QString program;
        for (const QString &name : facts.names)
            if (program.isEmpty() && isProgramName(name))
                program = name;
        DizFacts diz = dizFacts(readFileIdDiz(facts.fileIdDiz));
        if (diz.name.isEmpty() && !facts.descriptIon.isEmpty()) {
            const auto descriptions = readDescriptIon(facts.descriptIon);
            const auto described = descriptions.find(upperName(baseName(program)));
            if (described != descriptions.end())
                diz = dizFacts({described->second});
            else if (!descriptions.empty())
                diz = dizFacts({descriptions.begin()->second});
        }
        if (program.isEmpty() && diz.name.isEmpty())
            return facts.result == ReadResult::Read
                       ? std::nullopt
                       : std::optional(unreadable(folder, file, facts.result));
        if (!diz.name.isEmpty())
            return dizProgram(folder, file, diz);
        if (!folderDiz.name.isEmpty())
            return dizProgram(folder, file, folderDiz);
        return this->program(folder, file, asWord(withoutExtension(baseName(file.name))), {}, {});
    }

    const DiscSource &source_;
    const ScanOptions &options_;
    std::map<QByteArray, Folder> folders_;
    std::vector<QByteArray> folderOrder_;
    std::map<QByteArray, std::map<QString, QString>> descriptIons_;
    QDateTime newest_, oldest_;
    bool untold_ = false;    // some file's time is unknown, zeroed or yet to come
    bool datesTell_ = false; // the files' times are the disc's own
    QString menu_;
    QStringList skipped_;
};

} // namespace

Proposal propose(const DiscSource &source, const ScanOptions &options) {
    return Proposer(source, options).run();
}

QString licenceFromWords(const QString &text) {
    struct Rule {
        const char *pattern;
        const char *licence;
    };
    // The narrower categories first: "shareware" is not "free" software, an evaluation is no demo.
    // Shareware first: it is often tried for some days before paying, and is still shareware.
    static const Rule rules[] = {
        {"\\b(shareware|registre|register|registrese)\\b", "Shareware"},
        {"\\b(evaluation|evaluacion|trial|\\d+\\s*(dias|days))\\b", "Trial"},
        {"\\b(demo|demostracion)\\b", "Demo"},
        {"\\b(comercial|commercial)\\b", "Comercial"},
        {"\\b(freeware|free|gratis|gratuito|libre|gpl)\\b", "Freeware"},
    };
    const QString words = folded(text);
    for (const Rule &rule : rules) {
        const QRegularExpression pattern(QString::fromLatin1(rule.pattern));
        if (pattern.match(words).hasMatch())
            return QString::fromLatin1(rule.licence);
    }
    return {};
}

std::optional<int> copyrightYear(const QString &text) {
    static const QRegularExpression year(QStringLiteral("(?<!\\d)(19[7-9]\\d|20\\d\\d)(?!\\d)"));
    std::optional<int> last;
    for (auto it = year.globalMatch(text); it.hasNext();)
        last = it.next().captured(1).toInt();
    return last;
}

} // namespace disc
