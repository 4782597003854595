#pragma once

// A shim over SQLite's default file layer, for tests: it passes everything through, counts the
// writes, syncs and locks of every connection opened while it is installed, and makes the Nth
// of them fail. Install it before the program opens the catalogue.
class FaultVfs {
public:
    enum class Failure { Io, Full };
    FaultVfs();  // registers itself as the default
    ~FaultVfs(); // puts the earlier default back

    // From now on, the `n`th point (1 = the next) fails with `failure`; 0 disarms.
    void failAt(int n, Failure failure);
    bool fired() const;     // the armed point was reached
    int pointsSeen() const; // since the last failAt
};
