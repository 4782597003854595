#include "store/summary/CatalogueFigures.h"

#include "store/cursor/TableCursor.h"
#include "store/schema/Schema.h"

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

namespace store {

namespace {

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

} // namespace

CatalogueFigures countCatalogue(const TableCursor &cds, const TableCursor &programs) {
    namespace p = schema::programs;
    namespace c = schema::cds;
    CatalogueFigures figures;
    // Hashed while counting, ordered once at the end: a million rows, a few thousand keys.
    std::unordered_map<qint64, qint64> cdCounts;
    std::unordered_map<qint64, qint64> yearCounts;
    TextCounts licences;
    TextCounts publishers;
    const int programRows = programs.RecordCount();
    for (int row = 0; row < programRows; ++row) {
        ++cdCounts[programs.numberAt(row, p::Cd)];
        if (std::string_view publisher = programs.utf8At(row, p::Publisher); !blank(publisher))
            count(publishers, publisher);
        count(licences, programs.utf8At(row, p::Licence));
        ++yearCounts[programs.numberAt(row, p::Year)];
        figures.programsWithoutLink += blank(programs.utf8At(row, p::Link));
        figures.programsWithoutComment += blank(programs.utf8At(row, p::Comment));
    }
    figures.programs = programRows;
    const int cdRows = cds.RecordCount();
    for (int row = 0; row < cdRows; ++row) {
        figures.cdsWithoutPrograms += !cdCounts.contains(cds.numberAt(row, c::Number));
        figures.cdsWithoutComment += blank(cds.utf8At(row, c::Comment));
    }
    figures.cds = cdRows;
    const std::map<qint64, qint64> perCd(cdCounts.begin(), cdCounts.end());
    const std::map<qint64, qint64> perYear(yearCounts.begin(), yearCounts.end());

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
    std::sort(ranked.begin(), ranked.end(), [](const auto &a, const auto &b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    figures.perPublisher = std::move(ranked);
    return figures;
}

} // namespace store
