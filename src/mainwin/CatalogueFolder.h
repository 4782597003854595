#pragma once

#include "platform/Platform.h"

#include <QByteArray>

class QWidget;

// Which folder the program works in. Folders come as the file system's bytes: a name need not be
// valid text.

// What became of a folder offered as the catalogue's.
enum class FolderReady {
    Ready,    // it holds a catalogue, maybe just made
    Declined, // it holds none and the user wanted none made
    Refused,  // it can hold none, or making one failed; a box has said why
};
// A folder without db.mdb (missing or empty) is offered an empty catalogue with its help pages,
// made as `vadrel-db init` makes them. The working directory is left as it was.
FolderReady prepareCatalogueFolder(const QByteArray &folder, platform::Services services,
                                   QWidget *parent = nullptr);

// The folder chooser, until the user picks a folder that holds a catalogue (or gets one) or
// cancels; empty when cancelled.
QByteArray chooseCatalogueFolder(platform::Services services, QWidget *parent = nullptr);

// Makes `folder` the working directory, so that every rule about it holds unchanged, once it
// holds a catalogue; declining the offer of one opens the folder chooser instead. Returns false
// when there is no folder to work in: the user cancelled, or a box has said why.
bool enterCatalogueFolder(const QByteArray &folder, platform::Services services);

// Makes the user's own folder ($XDG_DATA_HOME/vadrel) the working directory, creating it when
// missing, for a catalogue that is not in a folder (a server's). False, after a box, when it
// cannot be.
bool enterOwnFolder(platform::Services services);
