#ifndef KORVEX_SIGNALCLEANUP_H
#define KORVEX_SIGNALCLEANUP_H

#include <string>

// Temporary files and directories that a run removes itself when it ends (the copy of standard
// input, outputs not yet renamed into place, the private run directory) are also removed when the
// process is stopped by SIGHUP, SIGINT or SIGTERM: a closed terminal, Ctrl-C, a batch system's
// time limit. The handler removes them and then lets the signal end the process as it would have.
// A signal that was ignored when the first path was registered (nohup) stays ignored. Call from
// one thread at a time.
void RemoveOnSignal(const std::string& sPath);
// A directory that holds only files: the handler removes every file in it, then the directory.
void RemoveDirectoryOnSignal(const std::string& sPath);
void ForgetOnSignal(const std::string& sPath);

#endif
