#pragma once

#include "Platform.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// What `vadrel [CARPETA]` was asked for. Read before the windows exist, so that --help and
// --version need no display.
struct Invocation {
    enum class Action { Run, Help, Version, Wrong } action = Action::Run;
    QByteArray folder; // as the file system names it; empty: the working directory as it is
    QString problem;   // what was wrong with the arguments
};
Invocation readArguments(int argc, char **argv);
QString usageText();
QString versionText();

// Makes `folder` the working directory, so that every rule about it holds unchanged. A folder
// without a catalogue (missing, or without db.mdb) is offered an empty one with its help pages,
// made as `vadrel-db init` makes them. Returns false when there is no folder to work in (missing,
// and none was made): the box for a missing catalogue has been shown, and nothing is to be opened.
bool enterCatalogueFolder(const QByteArray &folder, platform::Services services);
