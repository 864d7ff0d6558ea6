#ifndef KORVEX_RUNFILES_H
#define KORVEX_RUNFILES_H

#include <string>
#include <vector>

// The files one run or merge reads and writes, each with what it is. Checked before any work and
// before the log is created (which truncates it): no file the command writes may be one it reads,
// nor one it writes in another role, by the same path, through links, or as the same device and
// inode. The run's private directory and the temporary names of outputs are made new (mkdtemp,
// mkstemp), so they can be no other file; the copy of standard input, made the same way, is
// listed as what the run reads.
class RunFiles {
public:
    // sName is shown in messages; sPath finds the file (they differ for the copy of standard input).
    void Reads(const std::string& sWhat, const std::string& sName, const std::string& sPath);
    // sKey is the setting that names the file, the remedy of a clash.
    void Writes(const std::string& sWhat, const std::string& sPath, const std::string& sKey);

    // The refusal of the first written file that is a file listed before it, for example "the log
    // file (example.sam) is the SAM file (example.sam): choose another LOG_FILENAME"; empty when
    // every file is a file of its own.
    std::string FirstClash() const;

private:
    struct Entry {
        std::string sWhat, sName, sPath, sKey;  // sKey empty: a file the command reads
    };
    std::vector<Entry> vFiles;
};

#endif
