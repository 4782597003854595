#pragma once

// `vadrel-db export DESTINO ARCHIVO`: the whole catalogue of a folder or a server written to
// ARCHIVO as CSV, an HTML report or a PDF report, chosen by the file's extension, whole or not
// at all, by the same code as the export window. Returns the exit status: 0, 1 on a failure
// (no file written), 2 on a wrong call.
int exportCommand(int argc, char **argv);
