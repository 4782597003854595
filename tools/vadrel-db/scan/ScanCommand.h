#pragma once

// `vadrel-db scan [--progress] [--skip PATH]... SOURCE`: the proposal for a disc as JSON lines on
// standard output. With --progress, "reading PATH" (percent-encoded) goes to standard error before
// each file is read, so that the process that started it can tell which file it died on. Returns
// the exit status: 0, 1 when SOURCE cannot be read at all, 2 on a wrong call.
int scanCommand(int argc, char **argv);
