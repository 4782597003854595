#pragma once

#include "store/disc/ProposalJson.h"

#include <cstdio>
#include <optional>

// A proposal read back from its JSON lines, or nothing, said on stderr, when they do not read.
inline std::optional<disc::Proposal> readBack(const QByteArray &lines) {
    try {
        return disc::readProposal(lines);
    } catch (const disc::ProposalFormatError &error) {
        std::fprintf(stderr, "%s in:\n%s", error.what(), lines.constData());
        return std::nullopt;
    }
}
