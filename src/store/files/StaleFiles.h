#pragma once

#include <QByteArray>
#include <ctime>

namespace store {

// Temporaries of ours that a run killed part way left behind. Only names made exactly as the
// program makes them (a fixed stem and the six characters mkstemp/mkdtemp put in place of
// XXXXXX) and last changed before this process started are removed: a newer one may belong to
// another Vadrel at work in the same folder.

// When this process started, as the system recorded it.
timespec processStart();

// Removes the regular files `folder/PREFIXxxxxxxSUFFIX`: what mkstemp made from PREFIX + "XXXXXX",
// or a file named after it (SQLite's journal beside a database adds "-journal").
void removeStaleFiles(const QByteArray &folder, const QByteArray &prefix,
                      const QByteArray &suffix = {});

// Removes the folders `folder/PREFIXxxxxxx` that mkdtemp made, with what they hold.
void removeStaleFolders(const QByteArray &folder, const QByteArray &prefix);

// Removes the regular files `folder/.NAME.XXXXXX` that a replacement of `folder/NAME` left (a new
// catalogue's db.mdb is built under the same name).
void removeStaleReplacements(const QByteArray &folder, const QByteArray &name);

// Removes the folders `folder/.vadrel-import-XXXXXX` that a conversion left, with what they hold.
void removeStaleImportFolders(const QByteArray &folder);

// Whether `entry` is `prefix`, exactly six characters of mkstemp's alphabet, then `suffix`.
bool isTemporaryName(const QByteArray &entry, const QByteArray &prefix,
                     const QByteArray &suffix = {});

} // namespace store
