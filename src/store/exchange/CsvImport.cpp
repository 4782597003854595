#include "store/exchange/CatalogueCsv.h"

#include "store/cursor/CursorSession.h"
#include "store/engine/Connection.h"
#include "store/engine/Conversions.h"
#include "store/engine/Engine.h"
#include "store/exchange/CsvHeadings.h"
#include "store/exchange/CsvStream.h"
#include "store/schema/Schema.h"

#include <QHash>
#include <QSet>
#include <array>
#include <set>
#include <unordered_map>

// CSV rows checked line by line against the catalogue, then stored all together or not at all;
// the file is read in pieces both times.

namespace store {

namespace {

namespace cds = schema::cds;
namespace programs = schema::programs;

const CsvColumn kProgramColumns[] = {
    CsvColumn::ProgramNumber, CsvColumn::Name, CsvColumn::Version, CsvColumn::Publisher,
    CsvColumn::Licence,       CsvColumn::Year, CsvColumn::Link,    CsvColumn::Comment};
const CsvColumn kNumberColumns[] = {CsvColumn::CdNumber, CsvColumn::ProgramNumber, CsvColumn::Year};

// A record's fields by meaning; a column the file lacks reads as no value.
class Values {
public:
    Values(const CsvRecord &record, const std::array<int, kColumns> &at)
        : record_(record)
        , at_(at) {}
    const CsvField &operator[](CsvColumn column) const {
        static const CsvField nothing;
        const int at = at_[size_t(column)];
        return at >= 0 && size_t(at) < record_.fields.size() ? record_.fields[size_t(at)] : nothing;
    }
    // False for the line of a CD without programs.
    bool hasProgram() const {
        for (CsvColumn column : kProgramColumns)
            if (!(*this)[column].empty())
                return true;
        return false;
    }

private:
    const CsvRecord &record_;
    const std::array<int, kColumns> &at_;
};

std::optional<QString> licenceNamed(const QString &text) {
    for (const QString &licence : schema::licences())
        if (licence.compare(text.trimmed(), Qt::CaseInsensitive) == 0)
            return licence;
    return std::nullopt;
}

// As stored; the short date format too, as a spreadsheet in Spanish saves dates.
std::optional<DateSerial> dateValue(const QString &text) {
    const QByteArray latin = text.trimmed().toLatin1();
    if (auto serial = isoToSerial(latin.constData(), int(latin.size())))
        return serial;
    return textToSerial(text.trimmed(), shortDateFormat());
}

// The text as the catalogue keeps it: the export's apostrophe guard off, and line breaks as
// CR LF (a spreadsheet may have written LF alone).
QString stored(const CsvField &field) {
    const QString text = unguarded(field.text);
    if (!text.contains(u'\n'))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
            out += u'\r';
        out += text[i];
    }
    return out;
}

QString heading(CsvColumn column) {
    return QString::fromUtf16(kHeadings[int(column)]);
}

std::optional<char16_t> controlCharacter(const QString &text) {
    for (QChar c : text) {
        const char16_t code = c.unicode();
        if ((code < 0x20 && code != u'\t' && code != u'\r' && code != u'\n') ||
            (code >= 0x7F && code <= 0x9F))
            return code;
    }
    return std::nullopt;
}

// The program as a catalogue row repeats it: CD, name and version (none and empty alike).
QByteArray programKey(qint64 cd, const QString &name, const QString &version) {
    return QByteArray::number(cd) + '\x1f' + name.toUtf8() + '\x1f' + version.toUtf8();
}

// What the catalogue holds that the rows are checked against.
struct Catalogue {
    QHash<qint64, QByteArray> numbers; // each program's number and key
    QSet<QByteArray> keys;
    struct Cd {
        QString description;
        std::optional<DateSerial> date;
    };
    std::unordered_map<qint64, Cd> cds;
    qint64 highest = 0;
};

Catalogue readCatalogue(engine::Database *db, const QString &path) {
    Catalogue catalogue;
    const QByteArray programsSql = QByteArray("SELECT ") + programs::fields[programs::Number] +
                                   ", " + programs::fields[programs::Cd] + ", " +
                                   programs::fields[programs::Name] + ", " +
                                   programs::fields[programs::Version] + " FROM " + programs::table;
    engine::Statement row(db, programsSql, path);
    while (row.step()) {
        const std::string_view name = row.text(2), version = row.text(3);
        const QByteArray key =
            programKey(row.int64(1), QString::fromUtf8(name.data(), qsizetype(name.size())),
                       QString::fromUtf8(version.data(), qsizetype(version.size())));
        catalogue.numbers.insert(row.int64(0), key);
        catalogue.keys.insert(key);
        catalogue.highest = std::max(catalogue.highest, row.int64(0));
    }
    const QByteArray cdsSql = QByteArray("SELECT ") + cds::fields[cds::Number] + ", " +
                              cds::fields[cds::Description] + ", " + cds::fields[cds::Date] +
                              " FROM " + cds::table;
    engine::Statement cd(db, cdsSql, path);
    while (cd.step()) {
        Catalogue::Cd &kept = catalogue.cds[cd.int64(0)];
        const std::string_view description = cd.text(1), date = cd.text(2);
        kept.description = QString::fromUtf8(description.data(), qsizetype(description.size()));
        if (!cd.isNull(2))
            kept.date = isoToSerial(date.data(), int(date.size()));
    }
    return catalogue;
}

// How a row that can be stored is stored.
struct Row {
    bool bad = false;
    bool program = false; // false: the line of a CD without programs
    bool skipped = false; // already in the catalogue
    bool newNumber = false;
    qint64 cd = 0;
    std::optional<qint64> number;
};

// Checks rows one after the other, remembering what earlier rows took.
class Checker {
public:
    Checker(const CsvFile &file, const Catalogue *catalogue, const CsvOptions &options,
            CsvCheck &check)
        : file_(file)
        , catalogue_(catalogue)
        , duplicates_(options.duplicates)
        , listed_(options.listed)
        , check_(check) {
        at_.fill(-1);
        for (size_t column = 0; column < file.mapping.columns.size(); ++column)
            if (const auto meaning = file.mapping.columns[column];
                meaning && at_[size_t(*meaning)] < 0)
                at_[size_t(*meaning)] = int(column);
        if (at_[size_t(CsvColumn::CdNumber)] < 0)
            problem(1, file.binary ? QStringLiteral("no es un archivo CSV")
                                   : QStringLiteral("falta la columna del número de CD («%1»)")
                                         .arg(heading(CsvColumn::CdNumber)));
    }
    bool has(CsvColumn column) const { return at_[size_t(column)] >= 0; }
    const std::array<int, kColumns> &positions() const { return at_; }
    bool usable() const { return has(CsvColumn::CdNumber); }

    Row check(const CsvRecord &record) {
        Row row;
        const qint64 before = check_.problemCount;
        examine(record, row);
        row.bad = check_.problemCount > before;
        if (row.bad)
            ++check_.badLines;
        if (record.bareLineFeed)
            ++check_.bareLineFeeds;
        return row;
    }

private:
    void problem(int line, const QString &reason) {
        ++check_.problemCount;
        if (check_.problems.size() < size_t(listed_))
            check_.problems.push_back({line, reason});
    }

    void examine(const CsvRecord &record, Row &row) {
        auto bad = [&](const QString &reason) { problem(record.line, reason); };
        if (!usable())
            return;
        if (!record.fault.isEmpty())
            return bad(record.fault);
        const int columns = int(file_.mapping.columns.size());
        if (int(record.fields.size()) != columns)
            return bad(QStringLiteral("tiene %1 y %2, %3")
                           .arg(csv::counted(qint64(record.fields.size()), "campo", "campos"),
                                file_.titles ? QStringLiteral("la fila de títulos")
                                             : QStringLiteral("la primera fila"),
                                QString::number(columns)));
        for (int column = 0; column < columns; ++column)
            if (const auto code = controlCharacter(record.fields[size_t(column)].text))
                bad(QStringLiteral("%1: tiene el carácter de control U+%2")
                        .arg(file_.header.value(column))
                        .arg(uint(*code), 4, 16, QLatin1Char('0')));
        const Values values(record, at_);
        std::optional<qint64> numbers[3];
        for (int i = 0; i < 3; ++i) {
            const QString &text = values[kNumberColumns[i]].text;
            if (text.isEmpty())
                continue;
            if (auto fault = csv::numberFault(text))
                bad(heading(kNumberColumns[i]) + QStringLiteral(": ") + *fault);
            else
                numbers[i] = csv::plainNumber(text);
        }
        if (values[CsvColumn::CdNumber].text.isEmpty())
            bad(QStringLiteral("falta el número de CD"));
        else if (numbers[0] && *numbers[0] < 0)
            bad(QStringLiteral("el número de CD %1 es negativo").arg(*numbers[0]));
        const QString &date = values[CsvColumn::CdDate].text;
        if (!date.isEmpty() && !dateValue(date))
            bad(QStringLiteral("la fecha «%1» no es válida (se espera aaaa-mm-dd)").arg(date));
        const QString &licence = values[CsvColumn::Licence].text;
        if (!licence.isEmpty() && !licenceNamed(licence))
            bad(QStringLiteral("la licencia «%1» no es ninguna de %2")
                    .arg(licence, schema::licences().join(QStringLiteral(", "))));
        row.program = values.hasProgram();
        if (row.program && values[CsvColumn::Name].empty())
            bad(QStringLiteral("falta el nombre del programa"));
        if (!numbers[0])
            return;
        row.cd = *numbers[0];
        compareCd(record.line, values, row.cd);
        if (!row.program) {
            // The line of a CD without programs adds nothing when the catalogue has the CD.
            if (catalogue_ && catalogue_->cds.count(row.cd)) {
                ++check_.present;
                row.skipped = duplicates_ == CsvDuplicates::Skip;
            }
            return;
        }
        const QByteArray key =
            programKey(row.cd, stored(values[CsvColumn::Name]), stored(values[CsvColumn::Version]));
        const bool present = catalogue_ && catalogue_->keys.contains(key);
        if (present) {
            ++check_.present;
            if (duplicates_ == CsvDuplicates::Skip) {
                row.skipped = true;
                return;
            }
        }
        row.number = numbers[1];
        if (!row.number)
            return;
        const auto earlier = fileNumbers_.constFind(*row.number);
        if (earlier != fileNumbers_.cend()) {
            bad(QStringLiteral("el número de programa %1 ya es el de la línea %2")
                    .arg(*row.number)
                    .arg(*earlier));
            return;
        }
        fileNumbers_.insert(*row.number, record.line);
        if (!catalogue_)
            return;
        const auto owner = catalogue_->numbers.constFind(*row.number);
        if (owner == catalogue_->numbers.cend())
            return;
        if (*owner == key) { // the very program this row repeats: added under a new number
            row.newNumber = true;
            return;
        }
        const QList<QByteArray> parts = owner->split('\x1f');
        bad(QStringLiteral("el número de programa %1 ya es de «%2» en el CD %3")
                .arg(*row.number)
                .arg(QString::fromUtf8(parts.value(1)), QString::fromUtf8(parts.value(0))));
    }

    // A CD the catalogue has is kept as it is; the preview says where the file differs.
    void compareCd(int line, const Values &values, qint64 cd) {
        if (!catalogue_ || !seenCds_.insert(cd).second)
            return;
        const auto kept = catalogue_->cds.find(cd);
        if (kept == catalogue_->cds.end())
            return;
        QStringList differences;
        if (has(CsvColumn::CdDescription) &&
            stored(values[CsvColumn::CdDescription]) != kept->second.description)
            differences << QStringLiteral("la descripción «%1» y no «%2»")
                               .arg(stored(values[CsvColumn::CdDescription]),
                                    kept->second.description);
        if (has(CsvColumn::CdDate)) {
            const QString &text = values[CsvColumn::CdDate].text;
            const auto date = text.isEmpty() ? std::nullopt : dateValue(text);
            if (date != kept->second.date)
                differences << QStringLiteral("la fecha «%1» y no «%2»")
                                   .arg(text,
                                        kept->second.date
                                            ? QString::fromLatin1(serialToIso(*kept->second.date))
                                            : QString());
        }
        if (differences.isEmpty())
            return;
        ++check_.changedCdCount;
        if (check_.changedCds.size() < size_t(listed_))
            check_.changedCds.push_back(
                {line, cd,
                 QStringLiteral("el archivo da al CD %1 %2; se deja el del catálogo")
                     .arg(cd)
                     .arg(differences.join(QStringLiteral(" y ")))});
    }

    const CsvFile &file_;
    const Catalogue *catalogue_;
    CsvDuplicates duplicates_;
    int listed_;
    CsvCheck &check_;
    std::array<int, kColumns> at_;
    QHash<qint64, int> fileNumbers_; // given numbers, with the line that gave each
    std::set<qint64> seenCds_;
};

// Reads the file's settings (guessing what is not given) and leaves it at its first row.
class Source {
public:
    Source(const QString &path, const CsvOptions &options, const CsvProgress &progress)
        : in_(csv::openFile(path))
        , file_(csv::preview(*in_, options, 0, progress)) {
        in_->seek(0);
        csv::skipBom(*in_);
        parser_.emplace(*in_, file_.encoding, file_.separator, progress);
        CsvRecord titles;
        if (file_.titles && !file_.binary)
            parser_->next(titles);
    }
    const CsvFile &file() const { return file_; }
    bool next(CsvRecord &record) { return !file_.binary && parser_->next(record); }

private:
    std::unique_ptr<QIODevice> in_;
    CsvFile file_;
    std::optional<csv::Parser> parser_;
};

} // namespace

CsvCheck checkCatalogueCsv(Connection *connection, const QString &path, const CsvOptions &options,
                           const CsvProgress &progress) {
    Source source(path, options, progress);
    CsvCheck check;
    check.binary = source.file().binary;
    std::optional<Catalogue> catalogue;
    if (connection) {
        CursorSession::of(*connection).finishBackgroundRead();
        catalogue = readCatalogue(connection->handle(), connection->dataSource());
    }
    Checker checker(source.file(), catalogue ? &*catalogue : nullptr, options, check);
    CsvRecord record;
    while (source.next(record)) {
        ++check.rows;
        checker.check(record);
    }
    return check;
}

CsvImported importCatalogueCsv(Connection &connection, const QString &path,
                               const CsvOptions &options, const CsvProgress &progress) {
    using namespace schema;
    Source source(path, options, progress);
    // The background read holds a read lock that the write would wait for.
    CursorSession::of(connection).finishBackgroundRead();
    engine::Database *db = connection.handle();
    const QString dataSource = connection.dataSource();
    engine::WriteTransaction transaction(db, dataSource);
    const Catalogue catalogue = readCatalogue(db, dataSource);
    CsvCheck check;
    check.binary = source.file().binary;
    Checker checker(source.file(), &catalogue, options, check);

    engine::Statement addCd(db, insertSql(cds::table, 4), dataSource);
    engine::Statement addProgram(db, insertSql(programs::table, 9), dataSource);
    engine::Statement renumber(db,
                               QByteArray("UPDATE ") + programs::table + " SET " +
                                   programs::fields[programs::Number] + " = ? WHERE " +
                                   programs::fields[programs::Number] + " = ?",
                               dataSource);
    qint64 next = catalogue.highest + 1;
    QSet<qint64> given; // numbers this import chose, which a later row may claim

    auto bindText = [](engine::Statement &statement, int index, const CsvField &field) {
        if (field.empty())
            statement.bindNull(index);
        else
            statement.bindText(index, stored(field).toUtf8());
    };

    CsvImported imported;
    std::set<qint64> knownCds;
    CsvRecord record;
    while (source.next(record)) {
        ++check.rows;
        const Row row = checker.check(record);
        // After a bad line the rest is only checked, so that every bad line is named.
        if (check.problemCount > 0)
            continue;
        const Values values(record, checker.positions());
        if (knownCds.insert(row.cd).second && !catalogue.cds.count(row.cd)) {
            addCd.reset();
            addCd.bindInt(1, row.cd);
            if (checker.has(CsvColumn::CdDescription))
                bindText(addCd, 2, values[CsvColumn::CdDescription]);
            else
                addCd.bindText(2, QByteArray(""));
            if (!checker.has(CsvColumn::CdDate))
                addCd.bindText(3, serialToIso(0));
            else if (const QString &date = values[CsvColumn::CdDate].text; date.isEmpty())
                addCd.bindNull(3);
            else
                addCd.bindText(3, serialToIso(*dateValue(date)));
            if (checker.has(CsvColumn::CdComment))
                bindText(addCd, 4, values[CsvColumn::CdComment]);
            else
                addCd.bindText(4, QStringLiteral("Añadido al importar un CSV: tenía programas "
                                                 "en este CD, pero no el CD.")
                                      .toUtf8());
            addCd.step();
            imported.addedCds.push_back(row.cd);
        }
        if (!row.program)
            continue;
        if (row.skipped) {
            ++imported.skipped;
            continue;
        }
        qint64 number;
        if (row.number && !row.newNumber) {
            number = *row.number;
            if (given.remove(number)) { // an earlier row got it: that one moves on
                renumber.reset();
                renumber.bindInt(1, next);
                renumber.bindInt(2, number);
                renumber.step();
                given.insert(next++);
            }
        } else {
            number = next;
            given.insert(number);
            imported.renumbered += row.newNumber ? 1 : 0;
        }
        next = std::max(next, number + 1);
        addProgram.reset();
        addProgram.bindInt(1, number);
        addProgram.bindInt(2, row.cd);
        addProgram.bindText(3, stored(values[CsvColumn::Name]).toUtf8());
        bindText(addProgram, 4, values[CsvColumn::Version]);
        bindText(addProgram, 5, values[CsvColumn::Publisher]);
        if (const QString &licence = values[CsvColumn::Licence].text; licence.isEmpty())
            bindText(addProgram, 6, values[CsvColumn::Licence]);
        else
            addProgram.bindText(6, licenceNamed(licence)->toUtf8());
        if (const QString &year = values[CsvColumn::Year].text; year.isEmpty())
            addProgram.bindNull(7);
        else
            addProgram.bindInt(7, *csv::plainNumber(year));
        bindText(addProgram, 8, values[CsvColumn::Link]);
        bindText(addProgram, 9, values[CsvColumn::Comment]);
        addProgram.step();
        ++imported.programs;
    }
    if (check.problemCount > 0)
        throw CsvRejected(std::move(check));
    transaction.commit();
    imported.check = std::move(check);
    return imported;
}

} // namespace store
