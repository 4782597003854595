#include "store/exchange/CatalogueCsv.h"

#include "store/exchange/CsvHeadings.h"
#include "store/exchange/CsvStream.h"
#include "store/schema/Schema.h"

// What each column of a CSV file holds, guessed from its heading.

namespace store {

std::optional<int> CsvMapping::position(CsvColumn column) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i] == column)
            return int(i);
    return std::nullopt;
}

namespace {

namespace cds = schema::cds;
namespace programs = schema::programs;

// Lower case, without accents, blanks or punctuation: "Nro. CD" and "nro cd" are the same.
QString folded(const QString &heading) {
    QString out;
    for (QChar c : heading.normalized(QString::NormalizationForm_D))
        if (c.isLetterOrNumber())
            out += c.toLower();
    return out;
}

struct Alias {
    const char *folded;
    CsvColumn column;
};
// Spreadsheets' usual names, Spanish and English, after the headings we write and the fields'
// own names.
const Alias kAliases[] = {
    {"cd", CsvColumn::CdNumber},
    {"disco", CsvColumn::CdNumber},
    {"numerocd", CsvColumn::CdNumber},
    {"numerodisco", CsvColumn::CdNumber},
    {"cdnumber", CsvColumn::CdNumber},
    {"descripcion", CsvColumn::CdDescription},
    {"description", CsvColumn::CdDescription},
    {"cddescription", CsvColumn::CdDescription},
    {"fechacd", CsvColumn::CdDate},
    {"date", CsvColumn::CdDate},
    {"cddate", CsvColumn::CdDate},
    {"comentariodisco", CsvColumn::CdComment},
    {"cdcomment", CsvColumn::CdComment},
    {"numeroprograma", CsvColumn::ProgramNumber},
    {"programnumber", CsvColumn::ProgramNumber},
    {"nombre", CsvColumn::Name},
    {"name", CsvColumn::Name},
    {"program", CsvColumn::Name},
    {"programname", CsvColumn::Name},
    {"editor", CsvColumn::Publisher},
    {"publisher", CsvColumn::Publisher},
    {"fabricante", CsvColumn::Publisher},
    {"company", CsvColumn::Publisher},
    {"license", CsvColumn::Licence},
    {"licence", CsvColumn::Licence},
    {"ano", CsvColumn::Year},
    {"year", CsvColumn::Year},
    {"url", CsvColumn::Link},
    {"enlace", CsvColumn::Link},
    {"web", CsvColumn::Link},
    {"comentarios", CsvColumn::Comment},
    {"comment", CsvColumn::Comment},
    {"comments", CsvColumn::Comment},
    {"notas", CsvColumn::Comment},
    {"notes", CsvColumn::Comment},
};

std::vector<std::pair<QString, CsvColumn>> knownHeadings() {
    std::vector<std::pair<QString, CsvColumn>> known;
    for (int column = 0; column < kColumns; ++column)
        known.emplace_back(folded(QString::fromUtf16(kHeadings[column])), CsvColumn(column));
    const CsvColumn programColumns[] = {
        CsvColumn::ProgramNumber, CsvColumn::CdNumber,  CsvColumn::Name,
        CsvColumn::Version,       CsvColumn::Publisher, CsvColumn::Licence,
        CsvColumn::Year,          CsvColumn::Link,      CsvColumn::Comment};
    for (int f = programs::Number; f <= programs::Comment; ++f)
        known.emplace_back(folded(schema::field(programs::Field(f))), programColumns[f]);
    known.emplace_back(folded(schema::field(cds::Description)), CsvColumn::CdDescription);
    known.emplace_back(folded(schema::field(cds::Date)), CsvColumn::CdDate);
    for (const Alias &alias : kAliases)
        known.emplace_back(QString::fromLatin1(alias.folded), alias.column);
    return known;
}

} // namespace

CsvMapping guessCsvMapping(const QStringList &header) {
    static const auto known = knownHeadings();
    CsvMapping mapping;
    for (const QString &heading : header) {
        const QString name = folded(heading);
        std::optional<CsvColumn> column;
        for (const auto &[knownName, knownColumn] : known) {
            // A second column of the same meaning is not ours: the first one counts.
            if (knownName == name && !mapping.position(knownColumn)) {
                column = knownColumn;
                break;
            }
        }
        mapping.columns.push_back(column);
    }
    return mapping;
}

CsvMapping guessCsvMapping(int columns, const std::vector<CsvRecord> &rows) {
    CsvMapping mapping;
    mapping.columns.resize(size_t(std::max(columns, 0)));
    // Our own exports: the whole catalogue, and the rows of a query.
    if (columns == kColumns) {
        for (int column = 0; column < kColumns; ++column)
            mapping.columns[size_t(column)] = CsvColumn(column);
        return mapping;
    }
    const CsvColumn queryColumns[] = {
        CsvColumn::CdNumber, CsvColumn::CdDescription, CsvColumn::Name,
        CsvColumn::Version,  CsvColumn::Publisher,     CsvColumn::Licence,
        CsvColumn::Year,     CsvColumn::Link,          CsvColumn::Comment};
    if (columns == int(std::size(queryColumns))) {
        for (int column = 0; column < columns; ++column)
            mapping.columns[size_t(column)] = queryColumns[column];
        return mapping;
    }
    // Else the first column of numbers holds the CDs and the first of words the names.
    for (int column = 0; column < columns; ++column) {
        bool any = false, numbers = true;
        for (const CsvRecord &row : rows) {
            if (size_t(column) >= row.fields.size() || row.fields[size_t(column)].text.isEmpty())
                continue;
            any = true;
            numbers = numbers && csv::plainNumber(row.fields[size_t(column)].text);
        }
        const CsvColumn guess = numbers ? CsvColumn::CdNumber : CsvColumn::Name;
        if (any && !mapping.position(guess))
            mapping.columns[size_t(column)] = guess;
    }
    return mapping;
}

} // namespace store
