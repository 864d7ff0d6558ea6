#ifndef KORVEX_FUZZSUPPORT_H
#define KORVEX_FUZZSUPPORT_H

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string>

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
