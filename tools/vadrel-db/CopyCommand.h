#pragma once

// `vadrel-db copy ORIGEN DESTINO`: the catalogue of a folder or a server into a new one in a
// folder or on a server, in one transaction, checked by counts and row by row before it is
// committed. Returns the exit status: 0, 1 on a failure (nothing created), 2 on a wrong call.
int copyCommand(int argc, char **argv);
