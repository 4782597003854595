#pragma once

#include <QByteArray>
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
    // The ten publishers with most programs, most first, ties by name; no empty name.
    std::vector<std::pair<QString, qint64>> topPublishers;
};

// Counts db.mdb at `fileName` (the file system's bytes; `path` is what errors show) in one read
// of each table, from one consistent moment. Throws DatabaseError.
CatalogueFigures readCatalogueFigures(const QByteArray &fileName, const QString &path);

} // namespace store
