#pragma once

#include "store/disc/DiscProposal.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace disc {

class DiscSource;
struct DiscFile;

struct ScanOptions {
    // Files not to read (their paths as the source spells them): a reader died on them before.
    QList<QByteArray> skip;
    // Told of each file before it is read.
    std::function<void(const DiscFile &)> reading;
};

// The CD and the programs a person cataloguing the disc would record, from what it holds.
Proposal propose(const DiscSource &source, const ScanOptions &options = {});

// The licence category the words of a text point to ("evaluación de 30 días": Trial), or nothing.
QString licenceFromWords(const QString &text);
// The last year of a copyright notice ("© 2001-2003 ...": 2003), or nothing.
std::optional<int> copyrightYear(const QString &text);

} // namespace disc
