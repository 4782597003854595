#pragma once

#include <QString>
#include <QStringList>

// The help pages of a catalogue folder: DIR/ayuda, which the help window shows from the working
// directory. The pages are compiled into the store, so every tool that creates a catalogue
// folder carries them.
namespace store {

// Copies the help pages into DIR/ayuda. An existing DIR/ayuda (folder or anything else) is left
// untouched and the result is false; the folder appears complete or not at all. Throws
// DatabaseError (kind Io) with a message for the user when DIR is missing or not writable.
bool installHelpPages(const QString &directory);

// The names of the pages, for tests and tools.
QStringList helpPageNames();

} // namespace store
