#include <gtest/gtest.h>
#include <omp.h>

#include <iostream>
#include <stdexcept>
#include <utility>

#include "Logger.h"
#include "TestHelpers.h"

namespace {

// A console whose first write throws through pThrow; later writes are kept.
struct ThrowingConsole : std::streambuf {
    explicit ThrowingConsole(void (*pFirst)()) : pThrow(pFirst) {}
    int overflow(int c) override {
        if (void (*pNow)() = std::exchange(pThrow, nullptr)) pNow();
        sCollected += static_cast<char>(c);
        return c;
    }
    void (*pThrow)();
    std::string sCollected;
};

// The failed write leaves std::cout bad; what() makes it good again so that the report gets through.
template <class Base>
struct ConsoleError : Base {
    using Base::Base;
    const char* what() const noexcept override { std::cout.clear(); return Base::what(); }
};

// The layout of the log; then, each in a log started again, the console stream of each level.
TEST(Logger, LayoutLevelsAndQuiet) {
    TempDir dir;
    Logger logger;
    ASSERT_TRUE(logger.CreateOutFile(dir.File("run.log")));
    testing::internal::CaptureStdout();
    std::ostringstream message("\nKORVEX v2.0.0\n\n");
    EXPECT_TRUE(logger.Write(message, true));
    message << "main" << ": failed to find (" << 3 << ")" << std::endl;
    EXPECT_TRUE(logger.Write(message, true));
    EXPECT_TRUE(logger.Write(""));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nKORVEX v2.0.0\n\nmain: failed to find (3)\n");
    EXPECT_TRUE(message.good() && message.str().empty());
    EXPECT_EQ(MaskStamps(ReadFile(dir.File("run.log"))),  // a text that starts with a line end; an empty text
              "Log created: [STAMP]\n\nThr:0 [STAMP]  \nKORVEX v2.0.0\n\nThr:0 [STAMP]  main: failed to find (3)\n"
              "Thr:0 [STAMP]  ");
    const struct { LogLevel level; bool bQuiet, bStdout, bStderr; } cases[] = {
        {LogLevel::Detail, false, false, false}, {LogLevel::Info, false, true, false},
        {LogLevel::Info, true, false, false},    {LogLevel::Warning, true, false, true},
        {LogLevel::Error, true, false, true},    {LogLevel::Summary, true, true, false}};
    for (const auto& c : cases) {
        ASSERT_TRUE(logger.CreateOutFile());
        logger.SetQuiet(c.bQuiet);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        logger.Write("main: text\n", c.level);
        const std::string sStderr = testing::internal::GetCapturedStderr();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.bStdout ? "main: text\n" : "") << &c - cases;
        EXPECT_EQ(sStderr, c.bStderr ? "main: text\n" : "") << &c - cases;
        EXPECT_EQ(MaskStamps(ReadFile(dir.File("run.log"))), "Log created: [STAMP]\n\nThr:0 [STAMP]  main: text\n");
    }
}

TEST(Logger, WriteFailuresAreReportedOnTheConsoleAndReleaseTheLock) {
    TempDir dir;
    const std::string sLog = dir.File("run.log"), sNoDir = dir.File("no_such_dir/run.log");
    const std::string sCaught = "\nWrite: ERROR, We caught an exception while writing to the output file (" + sLog + "). \n";
    const std::string sFile = "main: first\n\nWrite: ERROR, The output file (";
    const struct { std::string sPath; void (*pThrow)(); bool bResult; std::string sConsole; } cases[] = {
        {sNoDir, nullptr, true, sFile + sNoDir + ") could not be opened for writing. \n"},
        {"/dev/full", nullptr, true, sFile + "/dev/full) could not be written completely. \n"},
        {sLog, [] { throw ConsoleError<std::runtime_error>("disk on fire"); }, false, sCaught + "disk on fire\n"},
        {sLog, [] { throw ConsoleError<std::logic_error>("not runtime"); }, false, sCaught + "not runtime\n"},
        {sLog, [] { throw 42; }, false, ""}};  // the console stays bad: the report cannot reach it
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Logger logger;
        EXPECT_EQ(logger.CreateOutFile(c.sPath), c.sPath == sLog);
        std::ostringstream message("main: first\n");
        ThrowingConsole console(c.pThrow);
        std::streambuf *pOld = std::cout.rdbuf(&console), *pOldErrors = std::cerr.rdbuf(&console);  // lost records too
        std::cout.exceptions(std::ios::badbit);  // lets the console's exception into Write
        EXPECT_EQ(logger.Write(message, true), c.bResult);
        EXPECT_EQ(console.sCollected, c.sConsole);
        std::cout.clear();  // still bad after the 42
#pragma omp parallel num_threads(2)
        logger.Write("after\n");  // the critical section was released: every thread can write again
        std::cout.rdbuf(pOld), std::cerr.rdbuf(pOldErrors), std::cout.exceptions(std::ios::goodbit);
        EXPECT_EQ(logger.LostRecords(), c.sPath != sLog);
        EXPECT_EQ(message.str(), c.bResult ? "" : "main: first\n");  // a failed text waits for the next Write
        if (c.sPath == sLog) { EXPECT_EQ(SplitLines(ReadFile(sLog)).size(), 4u); }  // the failed text never got in
    }
}

// Long two-line records from four threads: an unserialised Write interleaves them.
TEST(Logger, ConcurrentWritesGiveWholeRecords) {
    TempDir dir;
    Logger logger;
    ASSERT_TRUE(logger.CreateOutFile(dir.File("run.log")));
    const int iThreads = 4, iPerThread = 500;
    auto record = [](int iThread, int i) {
        return "worker: (" + std::to_string(iThread) + ") (" + std::to_string(i) + ") " + std::string(2000, 'x');
    };
    testing::internal::CaptureStdout();
#pragma omp parallel num_threads(iThreads)
    for (int i = 0; i < iPerThread; ++i) logger.Write(record(omp_get_thread_num(), i) + "\nsecond line\n");
    testing::internal::GetCapturedStdout();
    const std::vector<std::string> vLines = SplitLines(MaskStamps(ReadFile(dir.File("run.log"))));
    ASSERT_EQ(vLines.size(), 2u + 2u * iThreads * iPerThread);
    std::vector<int> viNext(iThreads, 0);  // each thread's records come in its own order
    for (std::size_t i = 2; i < vLines.size(); i += 2) {
        const int iThread = vLines[i].at(4) - '0';  // the prefix carries the writer's number; at() stops on garbage
        ASSERT_EQ(vLines[i], "Thr:" + std::to_string(iThread) + " [STAMP]  " + record(iThread, viNext.at(iThread)++));
        ASSERT_EQ(vLines[i + 1], "second line");
    }
}

}  // namespace
