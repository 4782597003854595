#pragma once

// `vadrel-db add-disc [--again] DIR SOURCE...`: each disc scanned in a child process and stored
// with its checked programs into DIR/db.mdb, one transaction per disc. Returns the exit status:
// 0, 1 when a source could not be read or stored (the others still are), 2 on a wrong call.
int addDiscCommand(int argc, char **argv);
