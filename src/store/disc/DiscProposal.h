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
    // What tells the disc from another of the same label and date, as CD 1 and CD 2 of a set:
    // the bytes of its files and a digest of its listing; empty for a CD typed by hand.
    qint64 bytes = 0;
    QString listing = {};
};

// A CD's date that the disc does not tell is said in its comment, on a line of its own.
inline QString unknownDate() {
    return QStringLiteral("Fecha del disco desconocida.");
}

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

// A part of the disc left out of the listing (a link leading off the disc, a folder past a limit),
// so that what was not read is said rather than missed.
struct UnreadPart {
    QString path; // on the disc; empty for the disc as a whole
    QString why;  // in Spanish, for the user
};

struct Proposal {
    ProposedCd cd;
    std::vector<ProposedProgram> programs;
    QStringList skipped; // paths on the disc whose reading was given up
    std::vector<UnreadPart> unread;
};

// "No se leyeron: a (por qué); b (por qué)", or empty when everything was read.
QString unreadSummary(const std::vector<UnreadPart> &unread);

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
