#pragma once

// `vadrel-db import-csv ARCHIVO DESTINO [--encoding E] [--no-header] [--duplicates skip|add]`:
// a CSV file's rows into the catalogue of a folder or a server, checked and stored by the same
// store code as the window "Importar desde CSV", all or nothing. Returns the exit status: 0, 1
// when nothing was imported (every bad line on stderr), 2 on a wrong call.
int csvImportCommand(int argc, char **argv);
