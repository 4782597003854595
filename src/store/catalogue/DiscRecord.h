#pragma once

#include "store/disc/DiscProposal.h"

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

namespace store {

class Connection;

struct StoredDisc {
    qint64 cd = 0;
    std::vector<qint64> programs;
};

// Stores a read disc: its CD under `cdNumber` (one past the highest when none is given) and the
// programs, numbered one past the highest in turn, in one transaction: all of it or nothing.
// Throws DatabaseError; a CD number already taken is Cause::DuplicateKey.
StoredDisc storeDisc(Connection &connection, std::optional<qint64> cdNumber,
                     const disc::ProposedCd &cd,
                     const std::vector<disc::ProposedProgram> &programs);

// The number of a catalogued CD that is this disc read again: the same description and the same
// bytes and listing, or, where either CD lacks them (typed by hand, stored before they were
// kept), the same description and date.
std::optional<qint64> catalogedDisc(Connection &connection, const disc::ProposedCd &cd);

} // namespace store
