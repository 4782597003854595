#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What `vadrel [CARPETA | URI]` was asked for. Read before the windows exist, so that --help and
// --version need no display.
struct Invocation {
    enum class Action { Run, Help, Version, Wrong } action = Action::Run;
    QByteArray folder; // as the file system names it; empty: the working directory as it is
    QByteArray server; // a catalogue on a server: a libpq URI or connection string
    QString problem;   // what was wrong with the arguments
};
Invocation readArguments(int argc, char **argv);
QString usageText();
QString versionText();
