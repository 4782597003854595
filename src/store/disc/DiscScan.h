#pragma once

#include "store/disc/DiscProposal.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace disc {

// The readers meet hostile bytes, so they run in a child process (`vadrel-db scan`) under these
// caps. A child that dies or stalls on a file is started again without that file.
struct ScanLimits {
    qint64 memoryBytes = qint64(1) << 30; // address space of the child
    int quietMs = 30'000;                 // longest time on one file
    int totalMs = 15 * 60'000;
    int restarts = 25; // files given up before the whole scan is
};

enum class ScanEnd { Done, Cancelled, Failed };

struct ScanOutcome {
    ScanEnd end = ScanEnd::Failed;
    Proposal proposal;
    QString error; // English, as the reader said it, when the scan failed
};

// Scans `source` (an image, a folder or a device, by its bytes) with `program` (vadrel-db).
// `progress` is told the file being read, every twentieth of a second or so; it returns false to
// cancel the scan.
ScanOutcome scanDisc(const QByteArray &program, const QByteArray &source, const ScanLimits &limits,
                     const std::function<bool(const QString &reading)> &progress);

} // namespace disc
