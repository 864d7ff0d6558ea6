#ifndef KORVEX_TESTHELPERS_H
#define KORVEX_TESTHELPERS_H

#include <string>
#include <vector>

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

struct ProgramResult {
    int iExitStatus;
    std::string sStdout;
    std::string sStderr;
};

// Runs the built korvex binary in dir with the given arguments; stdinText is fed to it.
// env holds extra NAME=VALUE settings.
ProgramResult RunKorvex(const std::string& dir, const std::vector<std::string>& args,
                        const std::string& stdinText = "", const std::vector<std::string>& env = {});

// Path of a file under tests/data.
std::string TestDataPath(const std::string& name);

#endif
