#include "store/exchange/CatalogueCsv.h"

#include "store/cursor/CursorSession.h"
#include "store/engine/Connection.h"
#include "store/engine/Conversions.h"
#include "store/engine/Engine.h"
#include "store/exchange/CsvHeadings.h"
#include "store/schema/Schema.h"

#include <QRegularExpression>
#include <set>

// CSV rows checked line by line, then stored all together or not at all.

namespace store {

namespace {

namespace cds = schema::cds;
namespace programs = schema::programs;

const CsvColumn kProgramColumns[] = {
    CsvColumn::ProgramNumber, CsvColumn::Name, CsvColumn::Version, CsvColumn::Publisher,
    CsvColumn::Licence,       CsvColumn::Year, CsvColumn::Link,    CsvColumn::Comment};

// A record's fields by meaning; a column the file lacks reads as no value.
class Values {
public:
    Values(const CsvRecord &record, const CsvMapping &mapping)
        : record_(record)
        , mapping_(mapping) {}
    bool has(CsvColumn column) const { return mapping_.position(column).has_value(); }
    const CsvField &operator[](CsvColumn column) const {
        static const CsvField nothing;
        const auto at = mapping_.position(column);
        return at && size_t(*at) < record_.fields.size() ? record_.fields[*at] : nothing;
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
    const CsvMapping &mapping_;
};

// Why the text is not a whole number the store takes, or nothing when it is.
std::optional<QString> numberFault(const QString &text) {
    if (parseWholeNumber(text))
        return std::nullopt;
    static const QRegularExpression digits(QStringLiteral("^ *[+-]?[0-9]+$"));
    if (digits.match(text).hasMatch())
        return QStringLiteral("«%1» está fuera del rango de los números enteros "
                              "(de -2147483648 a 2147483647)")
            .arg(text);
    return QStringLiteral("«%1» no es un número entero").arg(text);
}

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

// The catalogue keeps lines separated by CR LF; a spreadsheet may have written LF alone.
QString storedLines(const QString &text) {
    QString out;
    out.reserve(text.size());
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

} // namespace

std::vector<CsvProblem> checkCsvRows(const std::vector<CsvRecord> &rows,
                                     const CsvMapping &mapping) {
    std::vector<CsvProblem> problems;
    if (!mapping.position(CsvColumn::CdNumber)) {
        problems.push_back({1, QStringLiteral("falta la columna del número de CD («%1»)")
                                   .arg(heading(CsvColumn::CdNumber))});
        return problems;
    }
    for (const CsvRecord &record : rows) {
        auto bad = [&](const QString &reason) { problems.push_back({record.line, reason}); };
        if (!record.fault.isEmpty()) {
            bad(record.fault);
            continue;
        }
        if (record.fields.size() != mapping.columns.size()) {
            bad(QStringLiteral("tiene %1 campos y el encabezado %2")
                    .arg(record.fields.size())
                    .arg(mapping.columns.size()));
            continue;
        }
        const Values values(record, mapping);
        auto number = [&](CsvColumn column) {
            const CsvField &field = values[column];
            if (field.text.isEmpty())
                return;
            if (auto fault = numberFault(field.text))
                bad(heading(column) + QStringLiteral(": ") + *fault);
        };
        if (values[CsvColumn::CdNumber].text.isEmpty())
            bad(QStringLiteral("falta el número de CD"));
        number(CsvColumn::CdNumber);
        number(CsvColumn::ProgramNumber);
        number(CsvColumn::Year);
        const QString &date = values[CsvColumn::CdDate].text;
        if (!date.isEmpty() && !dateValue(date))
            bad(QStringLiteral("la fecha «%1» no es válida (se espera aaaa-mm-dd)").arg(date));
        const QString &licence = values[CsvColumn::Licence].text;
        if (!licence.isEmpty() && !licenceNamed(licence))
            bad(QStringLiteral("la licencia «%1» no es ninguna de %2")
                    .arg(licence, schema::licences().join(QStringLiteral(", "))));
        if (values.hasProgram() && values[CsvColumn::Name].empty())
            bad(QStringLiteral("falta el nombre del programa"));
    }
    return problems;
}

CsvImported importCatalogueCsv(Connection &connection, const std::vector<CsvRecord> &rows,
                               const CsvMapping &mapping) {
    if (auto problems = checkCsvRows(rows, mapping); !problems.empty())
        throw CsvRejected(std::move(problems));

    using namespace schema;
    // The background read holds a read lock that the write would wait for.
    CursorSession::of(connection).finishBackgroundRead();
    engine::Database *db = connection.handle();
    const QString path = connection.dataSource();
    engine::WriteTransaction transaction(db, path);
    auto query = [&](const char *field, const char *table) {
        return QByteArray("SELECT 1 FROM ") + table + " WHERE " + field + " = ?";
    };
    engine::Statement cdThere(db, query(cds::fields[cds::Number], cds::table), path);
    engine::Statement programThere(db, query(programs::fields[programs::Number], programs::table),
                                   path);
    engine::Statement addCd(db, insertSql(cds::table, 4), path);
    engine::Statement addProgram(db, insertSql(programs::table, 9), path);
    engine::Statement highest(db,
                              QByteArray("SELECT max(") + programs::fields[programs::Number] +
                                  ") FROM " + programs::table,
                              path);
    highest.step();
    qint64 next = highest.int64(0) + 1;

    auto bindText = [](engine::Statement &statement, int index, const CsvField &field,
                       bool lines = false) {
        if (field.empty())
            statement.bindNull(index);
        else
            statement.bindText(index, (lines ? storedLines(field.text) : field.text).toUtf8());
    };
    auto taken = [](engine::Statement &statement, qint64 number) {
        statement.reset();
        statement.bindInt(1, number);
        return statement.step();
    };

    CsvImported imported;
    std::set<qint64> knownCds;
    for (const CsvRecord &record : rows) {
        const Values values(record, mapping);
        const qint64 cd = *parseWholeNumber(values[CsvColumn::CdNumber].text);
        if (knownCds.insert(cd).second && !taken(cdThere, cd)) {
            addCd.reset();
            addCd.bindInt(1, cd);
            if (values.has(CsvColumn::CdDescription))
                bindText(addCd, 2, values[CsvColumn::CdDescription]);
            else
                addCd.bindText(2, QByteArray(""));
            if (!values.has(CsvColumn::CdDate))
                addCd.bindText(3, serialToIso(0));
            else if (const QString &date = values[CsvColumn::CdDate].text; date.isEmpty())
                addCd.bindNull(3);
            else
                addCd.bindText(3, serialToIso(*dateValue(date)));
            if (values.has(CsvColumn::CdComment))
                bindText(addCd, 4, values[CsvColumn::CdComment], true);
            else
                addCd.bindText(4, QStringLiteral("Añadido al importar un CSV: tenía programas "
                                                 "en este CD, pero no el CD.")
                                      .toUtf8());
            addCd.step();
            imported.addedCds.push_back(cd);
        }
        if (!values.hasProgram())
            continue;
        const QString &given = values[CsvColumn::ProgramNumber].text;
        qint64 number;
        if (!given.isEmpty() && !taken(programThere, *parseWholeNumber(given)))
            number = *parseWholeNumber(given);
        else
            number = next;
        next = std::max(next, number + 1);
        addProgram.reset();
        addProgram.bindInt(1, number);
        addProgram.bindInt(2, cd);
        addProgram.bindText(3, values[CsvColumn::Name].text.toUtf8());
        bindText(addProgram, 4, values[CsvColumn::Version]);
        bindText(addProgram, 5, values[CsvColumn::Publisher]);
        if (const QString &licence = values[CsvColumn::Licence].text; licence.isEmpty())
            bindText(addProgram, 6, values[CsvColumn::Licence]);
        else
            addProgram.bindText(6, licenceNamed(licence)->toUtf8());
        if (const QString &year = values[CsvColumn::Year].text; year.isEmpty())
            addProgram.bindNull(7);
        else
            addProgram.bindInt(7, *parseWholeNumber(year));
        bindText(addProgram, 8, values[CsvColumn::Link]);
        bindText(addProgram, 9, values[CsvColumn::Comment], true);
        addProgram.step();
        ++imported.programs;
    }
    transaction.commit();
    return imported;
}

} // namespace store
