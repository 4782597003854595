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

// Why a program was proposed from its file's name alone: the reader opens the comment with one of
// these fixed reasons when the file was damaged or its reading was given up. Empty for a program
// that was read.
inline QString unreadReason(const ProposedProgram &program) {
    for (const char16_t *reason :
         {u"Archivo dañado o ilegible.", u"No se leyó: su lectura se detuvo en él."}) {
        const QString text = QString::fromUtf16(reason);
        if (program.comment == text || program.comment.startsWith(text + u'\n'))
            return text;
    }
    return {};
}

} // namespace disc
