#pragma once

#include "store/disc/DiscProposal.h"

#include <QByteArray>
#include <stdexcept>

// The proposal as JSON lines, UTF-8: first {"cd": {...}}, then one line per program, then, when
// part of the disc was not read, {"sin_leer": [{"ruta": ..., "motivo": ...}, ...]}. This is what
// `vadrel-db scan` prints and what the program reads back from it.

namespace disc {

class ProposalFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

QByteArray cdLine(const ProposedCd &cd);
QByteArray programLine(const ProposedProgram &program);
QByteArray unreadLine(const std::vector<UnreadPart> &unread);
// The lines read back. Throws ProposalFormatError on a line that is not a well-formed one.
Proposal readProposal(const QByteArray &lines);

} // namespace disc
