#ifndef KORVEX_TESTHELPERS_H
#define KORVEX_TESTHELPERS_H

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "LineValues.h"
#include "Read.h"

// A fresh directory under /tmp, removed with its contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return sPath; }
    std::string File(const std::string& name) const { return sPath + "/" + name; }

private:
    std::string sPath;
};

// Changes the working directory for the lifetime of the object.
class ScopedChdir {
public:
    explicit ScopedChdir(const std::string& dir);
    ~ScopedChdir();

private:
    std::string sPrevious;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text);
// The last line of a text; empty for an empty text.
std::string LastLine(const std::string& sText);

struct ProgramResult {
    int iExitStatus;
    std::string sStdout;
    std::string sStderr;
};

// Runs the built korvex binary in dir with the given arguments; stdinText is fed to it.
// env holds extra NAME=VALUE settings.
ProgramResult RunKorvex(const std::string& dir, const std::vector<std::string>& args,
                        const std::string& stdinText = "", const std::vector<std::string>& env = {});

// Runs a shell command; returns its exit status (-1 when it did not exit normally).
int RunShell(const std::string& sCommand);

// Path of a file under tests/data.
std::string TestDataPath(const std::string& name);

// text with every log time stamp "[YYYYMMDD__hh_mm_ss]" replaced by "[STAMP]".
std::string MaskStamps(const std::string& text);

// The lines of a log file, time stamps masked and the "Thr:0 [STAMP]  " record prefix removed.
std::vector<std::string> LogTexts(const std::string& path);

// A copy of text that stays valid for the whole test program (for the texts of Reads).
const char* KeepText(const std::string& text);

// An alignment on the '+' strand with the quality text and mismatch offsets given; the
// mismatches take their quality characters from the quality text.
Read MakeRead(const std::string& sId, const std::string& sChromosome, int iPosition,
              const std::string& sQuality = std::string(36, 'I'), const std::vector<int>& vMismatchOffsets = {});

// The values of a map from line number to values, in line order.
class MapValueSource : public LineValueSource {
public:
    explicit MapValueSource(const std::map<int64_t, std::array<double, 2>>& values_) : values(values_) {}
    bool Next(int64_t& iLineNumber, double* pdValues) override {
        if (itNext == values.end()) return false;
        iLineNumber = itNext->first;
        pdValues[0] = itNext->second[0];
        pdValues[1] = itNext->second[1];
        ++itNext;
        return true;
    }

private:
    std::map<int64_t, std::array<double, 2>> values;
    std::map<int64_t, std::array<double, 2>>::const_iterator itNext = values.begin();
};

#endif
