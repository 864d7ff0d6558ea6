#ifndef KORVEX_LEFTOVERS_H
#define KORVEX_LEFTOVERS_H

#include <string>
#include <vector>

// What runs ended by SIGKILL (or a crash) leave behind: their private run directory, outputs
// under a temporary name, the copy of standard input. A stopping signal removes them; nothing can
// remove them after SIGKILL, so a later run in the same place names them, saying they can be
// removed, and touches nothing. A run directory records the process and host that own it; a
// temporary file is locked (flock) by the run writing it for as long as it exists. So what a
// live run is writing, here or on another host, is never named.

// Records this process and host as the owner of a run directory. A directory whose record cannot
// be written is never named.
void WriteOwnerRecord(const std::string& sRunDirectory);

// Takes the lock that marks a temporary file as one a live run is writing; held until the
// descriptor's file is closed. A file system without locks leaves the file unmarked.
void MarkAsBeingWritten(int iFd);

// Warns, one line each, of what runs no longer alive left beside this run's directory (their run
// directories, on this host), beside its outputs (NAME.tmpXXXXXX) and, for a run that reads
// standard input, beside its copy of it (korvex-stdin-XXXXXX).
void ReportLeftovers(const std::string& sRunDirectory, const std::vector<std::string>& vOutputs,
                     const std::string& sStandardInputCopy);

// Warns, one line each, of the NAME.tmpXXXXXX files beside these outputs that no live run is
// writing; for a command that makes no run directory, such as a merge.
void ReportUnfinishedOutputs(const std::vector<std::string>& vOutputs);

#endif
