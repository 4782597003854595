#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace store {

// What the catalogue holds, counted: the figures of the statistics window.
struct CatalogueFigures {
    qint64 cds = 0;
    qint64 programs = 0;
    qint64 cdsWithoutPrograms = 0;
    qint64 cdsWithoutComment = 0;
    qint64 programsWithoutComment = 0;
    qint64 programsWithoutLink = 0;
    // Each licence category in the store's order, then any other text as it is stored, then
    // the programs without a licence (an empty name); only the ones some program has.
    std::vector<std::pair<QString, qint64>> perLicence;
    // Ascending; 0 stands for the programs without a year.
    std::vector<std::pair<qint64, qint64>> perYear;
    // Every CD with programs, by number.
    std::vector<std::pair<qint64, qint64>> perCd;
    // Every publisher, most programs first, ties by name; no empty name.
    std::vector<std::pair<QString, qint64>> perPublisher;
};

class TableCursor;

// Counts the rows the open cursors of the two tables hold (the catalogue as the windows show it,
// read from one moment): no second read of the file, so a million programs count in a blink.
CatalogueFigures countCatalogue(const TableCursor &cds, const TableCursor &programs);

} // namespace store
