#pragma once

#include "platform/Platform.h"

#include <QStringList>

// Starting the desktop's own tools from the "Herramientas" menu: the desktop's default program
// for the job where it names one (text editor, file manager), else the first of a fixed list of
// programs found in the directories of the program search path.
enum class Tool { TextEditor, FileManager, Calculator };

// The directories where the tools are looked for: those of PATH, in order; the system's default
// search path when PATH is not set.
QStringList RutaWindows();

// The program that stands for the tool: the first candidate, in the tool's fixed order, found as
// an executable file in one of the directories (searched in their order); empty when none is.
QString findTool(const QStringList &directories, Tool tool);

// Starts the desktop's default program for the tool's kind of file (plain text, folders), or
// else the tool found by findTool, detached and without arguments; when neither is found nothing
// happens and nothing is shown.
void EjecutarHerramienta(platform::Shell &shell, const QStringList &directories, Tool tool);
