#ifndef KORVEX_SIGNALCLEANUP_H
#define KORVEX_SIGNALCLEANUP_H

#include <signal.h>

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

// Held from just before a temporary file or directory is created until its name is registered:
// a stopping signal that arrives in between would otherwise end the process with the new file
// unknown to the handler, and leave it behind. The signals are blocked on this thread meanwhile;
// on another thread, the handler waits for the registration before it removes anything. A
// signal held back arrives when the hold ends.
class SignalHold {
public:
    SignalHold();
    ~SignalHold();
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;

private:
    sigset_t previousMask;
};

#endif
