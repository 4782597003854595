#include "CatalogueFigures.h"

#include "Engine.h"
#include "Schema.h"

#include <algorithm>
#include <map>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <unordered_map>

namespace store {

namespace {

namespace cds = schema::cds;
namespace programs = schema::programs;

std::string_view textAt(sqlite3_stmt *row, int column) {
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(row, column));
    return text ? std::string_view(text, size_t(sqlite3_column_bytes(row, column)))
                : std::string_view();
}

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Counts by text without making a string per row: a million programs share a few thousand
// publishers.
struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
using TextCounts = std::unordered_map<std::string, qint64, Hash, std::equal_to<>>;

void count(TextCounts &counts, std::string_view text) {
    if (auto found = counts.find(text); found != counts.end())
        ++found->second;
    else
        counts.emplace(std::string(text), 1);
}

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QByteArray selectSql(const char *table, std::initializer_list<const char *> columns) {
    QByteArray sql = "SELECT ";
    for (const char *column : columns)
        sql += QByteArray(column) + ',';
    sql.chop(1);
    return sql + " FROM " + table;
}

} // namespace

CatalogueFigures readCatalogueFigures(const QByteArray &fileName, const QString &path) {
    engine::DbHandle db = engine::open(fileName, path, false);
    // Both tables from the same moment, even while another program writes.
    engine::exec(db.get(), "BEGIN", path);
    CatalogueFigures figures;

    std::map<qint64, qint64> perCd;
    std::map<qint64, qint64> perYear;
    TextCounts licences;
    TextCounts publishers;
    engine::Statement programRows(
        db.get(),
        selectSql(programs::table,
                  {programs::fields[programs::Cd], programs::fields[programs::Publisher],
                   programs::fields[programs::Licence], programs::fields[programs::Year],
                   programs::fields[programs::Link], programs::fields[programs::Comment]}),
        path);
    while (programRows.step()) {
        sqlite3_stmt *row = programRows.get();
        ++figures.programs;
        ++perCd[sqlite3_column_int64(row, 0)];
        if (std::string_view publisher = textAt(row, 1); !blank(publisher))
            count(publishers, publisher);
        count(licences, textAt(row, 2));
        ++perYear[sqlite3_column_int64(row, 3)];
        figures.programsWithoutLink += blank(textAt(row, 4));
        figures.programsWithoutComment += blank(textAt(row, 5));
    }

    engine::Statement cdRows(
        db.get(), selectSql(cds::table, {cds::fields[cds::Number], cds::fields[cds::Comment]}),
        path);
    while (cdRows.step()) {
        sqlite3_stmt *row = cdRows.get();
        ++figures.cds;
        figures.cdsWithoutPrograms += !perCd.contains(sqlite3_column_int64(row, 0));
        figures.cdsWithoutComment += blank(textAt(row, 1));
    }
    engine::exec(db.get(), "COMMIT", path);

    figures.perCd.assign(perCd.begin(), perCd.end());
    figures.perYear.assign(perYear.begin(), perYear.end());
    for (const QString &name : schema::licences()) {
        const auto found = licences.find(name.toStdString());
        if (found != licences.end()) {
            figures.perLicence.emplace_back(name, found->second);
            licences.erase(found);
        }
    }
    std::vector<std::pair<QString, qint64>> others;
    for (const auto &[name, programCount] : licences)
        others.emplace_back(fromUtf8(name), programCount);
    // The unnamed ones last, after the others by name.
    std::sort(others.begin(), others.end(), [](const auto &a, const auto &b) {
        return a.first.isEmpty() != b.first.isEmpty() ? b.first.isEmpty() : a.first < b.first;
    });
    figures.perLicence.insert(figures.perLicence.end(), others.begin(), others.end());

    std::vector<std::pair<QString, qint64>> ranked;
    for (const auto &[name, programCount] : publishers)
        ranked.emplace_back(fromUtf8(name), programCount);
    const auto most = [](const auto &a, const auto &b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    };
    const size_t kept = std::min<size_t>(10, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + qsizetype(kept), ranked.end(), most);
    ranked.resize(kept);
    figures.topPublishers = std::move(ranked);
    return figures;
}

} // namespace store
