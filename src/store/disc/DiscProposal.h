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
    QString licence;             // one of the six licence categories
    bool licenceGuessed = false; // no word on the disc names it: a guess for the user to check
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

// A program proposed from its file's name alone opens its comment with why, on a line of its own.
inline QString damagedReason() {
    return QStringLiteral("Archivo dañado o ilegible.");
}
inline QString stoppedReason() {
    return QStringLiteral("No se leyó: su lectura se detuvo en él.");
}
inline QString tooLargeReason() {
    return QStringLiteral("Demasiado grande para leerlo.");
}

// The reason a program was proposed from its file's name alone; empty for a program that was read.
inline QString unreadReason(const ProposedProgram &program) {
    for (const QString &text : {damagedReason(), stoppedReason(), tooLargeReason()})
        if (program.comment == text || program.comment.startsWith(text + u'\n'))
            return text;
    return {};
}

} // namespace disc
