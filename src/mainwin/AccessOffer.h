#pragma once

#include "platform/Platform.h"

#include <QString>

class QProcess;
class QWidget;

// An old catalogue kept by Microsoft Access as db.mdb in the working directory: before anything
// opens it, the user is offered to convert it. Yes runs `importer import` as a child process (a
// reader that crashes on a damaged file cannot take the program down) into a temporary folder
// beside it, checks what it wrote, keeps the old file renamed and puts the new one in its place.
// First, the folders that a conversion killed part way left are removed (see StaleFiles.h).
// Returns true when db.mdb may be opened: it was no Access file, or it has been converted. False
// leaves every file as it was, after an error box that says how to convert it by hand.
bool offerAccessConversion(QWidget *parent, platform::Services services, const QString &importer);

// Makes `child`, before it starts, end with this process: killed as this one dies, however it
// dies, so that no importer is left filling its folder alone.
void endsWithThisProcess(QProcess &child);
