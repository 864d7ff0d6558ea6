#ifndef KORVEX_RUNDIRECTORY_H
#define KORVEX_RUNDIRECTORY_H

#include <string>

// A private directory for one run's intermediate files, made with mkdtemp under TMPDIR when it
// is set, else in the directory given (beside the output), with a record of the process and host
// that own it. It is removed with its contents when the run ends normally or is stopped by SIGHUP,
// SIGINT or SIGTERM; when the run ends by an exception it is kept, and its path logged, because it
// then holds what the run computed.
class RunDirectory {
public:
    // Throws std::runtime_error naming the place when the directory cannot be made.
    explicit RunDirectory(const std::string& sBesideDirectory);
    ~RunDirectory();
    RunDirectory(const RunDirectory&) = delete;
    RunDirectory& operator=(const RunDirectory&) = delete;

    const std::string& Path() const { return sPath; }

private:
    std::string sPath;
    int iUncaughtAtStart;
};

#endif
