#ifndef KORVEX_FUZZSUPPORT_H
#define KORVEX_FUZZSUPPORT_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "Logger.h"

// Keeps a fuzz target quiet: the log goes to /dev/null and the C++ console streams are
// swallowed, so that only the fuzzer's own lines and the sanitizers' reports (written to the
// file descriptors directly) reach the terminal.
inline void SilenceKorvexOutput() {
    struct NullBuffer : std::streambuf {
        int overflow(int c) override { return c; }
    };
    static NullBuffer nullBuffer;
    std::cout.rdbuf(&nullBuffer);
    std::cerr.rdbuf(&nullBuffer);
    GetLogger()->SetQuiet(true);
    GetLogger()->CreateOutFile("/dev/null");
}

// The private directory of a target that works on files, and the names of the files it writes
// there; both are removed when the target ends.
inline std::string& FuzzWorkDir() {
    static std::string sDir;
    return sDir;
}

inline std::vector<std::string>& FuzzWorkFiles() {
    static std::vector<std::string> vFiles;
    return vFiles;
}

inline std::string FuzzWorkFile(const std::string& sName) { return FuzzWorkDir() + "/" + sName; }

inline void RemoveFuzzWorkDir() {
    for (const std::string& sName : FuzzWorkFiles()) std::remove(FuzzWorkFile(sName).c_str());
    rmdir(FuzzWorkDir().c_str());
}

// Makes /tmp/korvex-fuzz-NAME-XXXXXX for the files of vNames; returns its path.
inline const std::string& MakeFuzzWorkDir(const std::string& sName, std::vector<std::string> vNames) {
    std::string sDir = "/tmp/korvex-fuzz-" + sName + "-XXXXXX";
    if (mkdtemp(&sDir[0]) == nullptr) std::abort();
    FuzzWorkDir() = sDir;
    FuzzWorkFiles() = std::move(vNames);
    std::atexit(RemoveFuzzWorkDir);
    return FuzzWorkDir();
}

// Writes the fuzzer's input to sPath; a failure to write it stops the target.
inline void WriteFuzzInput(const std::string& sPath, const uint8_t* pData, std::size_t iSize) {
    FILE* pFile = std::fopen(sPath.c_str(), "wb");
    if (pFile == nullptr || std::fwrite(pData, 1, iSize, pFile) != iSize || std::fclose(pFile) != 0) std::abort();
}

// What a target built from the current input, printed with a broken invariant.
inline std::string& FuzzContext() {
    static std::string sContext;
    return sContext;
}

// A broken invariant: says which, then aborts so that the fuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                          \
    do {                                                                                               \
        if (!(condition)) {                                                                            \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n%s\n", __FILE__, __LINE__, #condition, \
                         FuzzContext().c_str());                                                       \
            std::abort();                                                                              \
        }                                                                                              \
    } while (0)

#endif
