#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace disc {

// What reading a disc proposes to catalogue: its CD and the programs on it, as a person would
// record them, for the user to check before anything is stored.
struct ProposedCd {
    QString description;
    QDate date; // invalid when the disc gives none
    QString comment;
};

struct ProposedProgram {
    QString name;
    QString version;
    QString publisher;
    QString licence; // one of the six licence categories
    std::optional<int> year;
    QString link;
    QString comment;
    bool checked = true; // proposed for storing
    QString origin;      // the path on the disc it was read from
};

struct Proposal {
    ProposedCd cd;
    std::vector<ProposedProgram> programs;
    QStringList skipped; // paths on the disc whose reading was given up
};

} // namespace disc
