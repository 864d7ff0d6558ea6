#ifndef KORVEX_TESTHELPERS_H
#define KORVEX_TESTHELPERS_H

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "LineSources.h"
#include "Read.h"

// A fresh directory under /tmp, removed with its contents on destruction (kept when the
// environment sets KORVEX_KEEP_TEST_DIRS, to look at a failed case).
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return sPath; }
    std::string File(const std::string& sName) const { return sPath + "/" + sName; }

private:
    std::string sPath;
};

struct ScopedChdir {  // changes the working directory for the lifetime of the object
    const std::filesystem::path previous = std::filesystem::current_path();
    explicit ScopedChdir(const std::string& sDir) { std::filesystem::current_path(sDir); }
    ~ScopedChdir() { std::error_code ignored; std::filesystem::current_path(previous, ignored); }
};

std::string ReadFile(const std::string& sPath);
void WriteFile(const std::string& sPath, const std::string& sText);
inline bool FileExists(const std::string& sPath) { return std::filesystem::exists(sPath); }
std::vector<std::string> SplitLines(const std::string& sText);
inline std::string LastLine(const std::string& sText) { auto v = SplitLines(sText); return v.empty() ? "" : v.back(); }
inline std::string TestDataPath(const std::string& sName) { return std::string(KORVEX_TEST_DATA) + "/" + sName; }
std::set<std::string> FileNames(const std::string& sDir);  // the names in a directory
std::string MaskStamps(std::string sText);                 // every log time stamp shown as [STAMP]

// The message of the Error that f throws; empty when it throws none.
template <class Error, class F>
std::string ErrorOf(F f) {
    try {
        f();
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

struct ProgramResult {
    int iExitStatus;
    std::string sStdout, sStderr;
};

// Runs the built korvex in sDir; vEnv holds extra NAME=VALUE settings.
ProgramResult RunKorvex(const std::string& sDir, const std::vector<std::string>& vArgs,
                        const std::string& sStdin = "", const std::vector<std::string>& vEnv = {});
int RunShell(const std::string& sCommand);  // the exit status, -1 when it did not exit normally

// A directory holding a copy of tests/data/example.sam and a run.cfg with the text given.
struct ExampleDir : TempDir {
    explicit ExampleDir(const std::string& sConfig);
    ProgramResult Run(const std::vector<std::string>& vArgs, const std::vector<std::string>& vEnv = {}) const {
        return RunKorvex(Path(), vArgs, "", vEnv);
    }
};

// The lines of a file in any container, as a run reads them.
std::vector<std::string> Drain(const std::string& sPath, const InputOptions& options = {});
// The bytes of sFrom compressed into sTo: "wg" gzip, "w" BGZF ("w0": stored as they are).
void Compress(const std::string& sFrom, const std::string& sTo, const char* pMode);
// The records of sFrom copied with htslib: "wb" BAM, "wc" CRAM (against sReference, or with whole
// sequences when it is empty); "wb0" and "wc0" store the data uncompressed.
void Convert(const std::string& sFrom, const std::string& sTo, const char* pMode, const std::string& sReference = "");
// The example in dir as example.sam, .sam.gz (gzip), .sam.bgz, .bam and .cram (whole sequences);
// a CRAM reference is looked for in dir alone.
void WriteExampleContainers(const TempDir& dir);

// A copy of the text that lives as long as the test program (for the texts of Reads).
const char* KeepText(const std::string& sText);

// An alignment on '+' as long as its quality text; each mismatch takes the quality character at its offset.
Read MakeRead(const std::string& sId, const std::string& sChromosome, int iPosition,
              const std::string& sQuality = std::string(36, 'I'), const std::vector<int>& vMismatchOffsets = {});

#endif
