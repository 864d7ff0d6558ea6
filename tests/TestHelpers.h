#ifndef KORVEX_TESTHELPERS_H
#define KORVEX_TESTHELPERS_H

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "Read.h"

// A fresh directory under /tmp, removed with its contents on destruction.
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

// Changes the working directory for the lifetime of the object.
class ScopedChdir {
public:
    explicit ScopedChdir(const std::string& sDir);
    ~ScopedChdir();

private:
    std::string sPrevious;
};

std::string ReadFile(const std::string& sPath);
void WriteFile(const std::string& sPath, const std::string& sText);
bool FileExists(const std::string& sPath);
std::vector<std::string> SplitLines(const std::string& sText);
std::string LastLine(const std::string& sText);
std::string TestDataPath(const std::string& sName);  // a file under tests/data
std::set<std::string> FileNames(const std::string& sDir);  // the names in a directory

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

std::string MaskStamps(const std::string& sText);  // every log time stamp shown as [STAMP]

// A copy of the text that lives as long as the test program (for the texts of Reads).
const char* KeepText(const std::string& sText);

// An alignment on '+'; each mismatch takes the quality character at its offset.
Read MakeRead(const std::string& sId, const std::string& sChromosome, int iPosition,
              const std::string& sQuality = std::string(36, 'I'), const std::vector<int>& vMismatchOffsets = {});

#endif
