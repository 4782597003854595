#pragma once

#include "store/files/FileCalls.h"
#include "store/files/WorkingDirectory.h"

#include <QString>

namespace store {

class Connection;

// Copies the open catalogue to `destination` as a consistent snapshot: its file's bytes read under
// one shared lock (never a raw copy of a file that may be mid-write), or the engine's online
// backup where the file alone is not the catalogue (WAL mode). The copy is written under a
// temporary name beside the destination, checked (read back as what was read, or for integrity,
// and the row counts of both tables) and only then renamed over it, so a failed copy never
// destroys an earlier one. Throws FileError naming the destination, or DatabaseError when the
// catalogue itself cannot be read.
void backupCatalogue(Connection &connection, const FilePath &destination,
                     FileCalls &calls = FileCalls::system());

// Copies the catalogue file `source` to `destination` byte for byte, for a catalogue that is not
// open (an old Access file, one that failed to open): through a temporary file beside the
// destination, checked against the source's size, then renamed over it. Throws FileError naming
// the destination, or DatabaseError naming the source when it cannot be read.
void copyCatalogueFile(const FilePath &source, const FilePath &destination,
                       FileCalls &calls = FileCalls::system());

} // namespace store
