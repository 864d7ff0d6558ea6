#ifndef KORVEX_RUNFILES_H
#define KORVEX_RUNFILES_H

#include <string>
#include <vector>

class InputFile;
struct RunSettings;

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

// The files of a run, or of a merge (bMerge), with these settings: what it reads (the
// configuration file, the SAM file or the copy of standard input, the reference; a merge also
// the files and manifests of the parts), then what it writes (the output, or a part's output or
// values file and its manifest; then the log). Without pInput (settings refused, or an input that
// cannot be opened) the command writes nothing but its log, and only the log is listed as written.
RunFiles FilesOfCommand(bool bMerge, const std::string& sConfigFile, const RunSettings& settings,
                        const InputFile* pInput);

// The log of a run or a merge. The log of a part of a divided run carries the part in its name,
// and the log of a merge ".merge", so that no two runs of one data set write the same log.
std::string LogFileName(bool bMerge, const RunSettings& settings);

#endif
