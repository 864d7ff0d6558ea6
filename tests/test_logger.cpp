#include <gtest/gtest.h>
#include <omp.h>

#include <iostream>
#include <set>
#include <stdexcept>
#include <streambuf>

#include "Logger.h"
#include "TestHelpers.h"
#include "utils.h"

namespace {

// text with every log time stamp "[YYYYMMDD__hh_mm_ss]" replaced by "[STAMP]".
std::string MaskStamps(const std::string& text) {
    const std::string sShape = "[dddddddd__dd_dd_dd]";
    std::string sMasked;
    std::size_t i = 0;
    while (i < text.size()) {
        bool bStamp = i + sShape.size() <= text.size();
        for (std::size_t k = 0; bStamp && k < sShape.size(); ++k) {
            char c = text[i + k];
            bStamp = sShape[k] == 'd' ? (c >= '0' && c <= '9') : c == sShape[k];
        }
        if (bStamp) {
            sMasked += "[STAMP]";
            i += sShape.size();
        } else {
            sMasked += text[i++];
        }
    }
    return sMasked;
}

// Standard output whose first write throws the exception made by throwFirst; later
// writes are collected, so the Logger's own report of the exception can be read.
class ThrowOnceBuf : public std::streambuf {
public:
    explicit ThrowOnceBuf(void (*throwFirst)()) : pThrow(throwFirst) {}
    std::string sCollected;

protected:
    int overflow(int c) override {
        ThrowIfFirst();
        if (c != EOF) sCollected += static_cast<char>(c);
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        ThrowIfFirst();
        sCollected.append(s, static_cast<std::size_t>(n));
        return n;
    }

private:
    void ThrowIfFirst() {
        if (pThrow == nullptr) return;
        void (*pNow)() = pThrow;
        pThrow = nullptr;
        pNow();
    }
    void (*pThrow)();
};

// Routes std::cout through buf, with exceptions on, for the lifetime of the object.
class ConsoleRedirect {
public:
    explicit ConsoleRedirect(std::streambuf* buf) : pOld(std::cout.rdbuf(buf)) { std::cout.exceptions(std::ios::badbit); }
    ~ConsoleRedirect() {
        std::cout.exceptions(std::ios::goodbit);
        std::cout.rdbuf(pOld);
        std::cout.clear();
    }

private:
    std::streambuf* pOld;
};

}  // namespace

TEST(Logger, TimeStampIsTwentyCharacters) {
    Logger logger;
    std::string sStamp = logger.TimeStamp();
    EXPECT_EQ(sStamp.size(), 20u);
    EXPECT_EQ(MaskStamps(sStamp), "[STAMP]") << sStamp;
}

TEST(Logger, FileLayoutAndConsoleEcho) {
    TempDir dir;
    Logger logger;
    EXPECT_EQ(logger.Filename(), "Logger.out");
    ASSERT_TRUE(logger.CreateOutFile(dir.File("run.log")));
    EXPECT_EQ(logger.Filename(), dir.File("run.log"));

    testing::internal::CaptureStdout();
    std::ostringstream message;
    message << std::endl << "KORVEX v2.0.0" << std::endl << std::endl;
    EXPECT_TRUE(logger.Write(message, true));
    message << "main" << ": failed to find (" << 3 << ")" << std::endl;
    EXPECT_TRUE(logger.Write(message, true));
    EXPECT_TRUE(logger.Write(""));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nKORVEX v2.0.0\n\nmain: failed to find (3)\n");
    EXPECT_EQ(message.str(), "");
    EXPECT_TRUE(message.good());

    EXPECT_EQ(MaskStamps(ReadFile(dir.File("run.log"))),
              "Log created: [STAMP]\n\n"                      // header and an empty line
              "Thr:0 [STAMP]  \nKORVEX v2.0.0\n\n"            // a text that starts with a line end
              "Thr:0 [STAMP]  main: failed to find (3)\n"     // an ordinary message
              "Thr:0 [STAMP]  ");                             // an empty text: the prefix only

    // A second CreateOutFile starts the file again.
    ASSERT_TRUE(logger.CreateOutFile());
    EXPECT_EQ(MaskStamps(ReadFile(dir.File("run.log"))), "Log created: [STAMP]\n\n");
}

TEST(Logger, WriteBeforeCreateOutFileAppendsToTheConstructorsFile) {
    TempDir dir;
    WriteFile(dir.File("old.log"), "kept\n");
    Logger logger(dir.File("old.log").c_str());
    testing::internal::CaptureStdout();
    EXPECT_TRUE(logger.Write("x: y\n"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(MaskStamps(ReadFile(dir.File("old.log"))), "kept\nThr:0 [STAMP]  x: y\n");
}

TEST(Logger, UnopenableFileIsReportedOnTheConsoleAndWriteGoesOn) {
    TempDir dir;
    std::string sPath = dir.File("no_such_dir/run.log");
    Logger logger;
    EXPECT_FALSE(logger.CreateOutFile(sPath));

    std::ostringstream message;
    message << "main: hello" << std::endl;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(logger.Write(message, true));
    EXPECT_TRUE(logger.Write("again\n"));
    std::string sReport = "\nWrite: ERROR, The output file (" + sPath + ") could not be opened for writing. \n";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "main: hello\n" + sReport + "again\n" + sReport);
    EXPECT_EQ(message.str(), "");
}

TEST(Logger, FailedWriteOnAFullDiskIsReported) {
    if (!FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    Logger logger("/dev/full");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(logger.Write("lost: text\n"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "lost: text\n\nWrite: ERROR, The output file (/dev/full) could not be written completely. \n");
}

// Exceptions thrown by the console: the stream is left bad, so what() makes it good again
// to let the Logger's report of the exception through.
struct ConsoleRuntimeError : std::runtime_error {
    ConsoleRuntimeError() : std::runtime_error("disk on fire") {}
    const char* what() const noexcept override {
        std::cout.clear();
        return std::runtime_error::what();
    }
};
struct ConsoleOtherError : std::exception {
    const char* what() const noexcept override {
        std::cout.clear();
        return "not a runtime error";
    }
};

TEST(Logger, ExceptionsInsideWriteAreCaughtAndReleaseTheLock) {
    struct Case {
        void (*pThrow)();
        std::string sReport;  // what follows the first report line on the console
    };
    const Case cases[] = {
        {[] { throw ConsoleRuntimeError(); }, "disk on fire\n"},
        {[] { throw ConsoleOtherError(); }, "not a runtime error\n"},
        {[] { throw 42; }, ""},  // the console stays bad: nothing more reaches it
    };
    for (const Case& c : cases) {
        TempDir dir;
        Logger logger;
        ASSERT_TRUE(logger.CreateOutFile(dir.File("run.log")));
        std::string sHeader = ReadFile(dir.File("run.log"));
        ThrowOnceBuf console(c.pThrow);
        std::ostringstream message;
        message << "main: first" << std::endl;
        {
            ConsoleRedirect redirect(&console);
            EXPECT_FALSE(logger.Write(message, true)) << c.sReport;
        }
        if (!c.sReport.empty())
            EXPECT_EQ(console.sCollected, "\nWrite: ERROR, We caught an exception while writing to the output file (" +
                                              dir.File("run.log") + "). \n" + c.sReport);
        else
            EXPECT_EQ(console.sCollected, "");
        EXPECT_EQ(ReadFile(dir.File("run.log")), sHeader);
        // The failed text stays in the buffer and goes out in front of the next message.
        EXPECT_EQ(message.str(), "main: first\n");

        // The critical section was released: every thread can write again.
        testing::internal::CaptureStdout();
#pragma omp parallel num_threads(2)
        logger.Write("after\n");
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(SplitLines(ReadFile(dir.File("run.log"))).size(), 4u);
    }
}

TEST(Logger, ConcurrentWritesGiveWholeRecords) {
    TempDir dir;
    Logger logger;
    ASSERT_TRUE(logger.CreateOutFile(dir.File("run.log")));
    const int iThreads = 4;
    const int iPerThread = 200;
    const std::string sPayload(2000, 'x');
    testing::internal::CaptureStdout();
#pragma omp parallel num_threads(iThreads)
    {
        std::ostringstream message;
        for (int i = 0; i < iPerThread; ++i) {
            message << "worker: thread (" << omp_get_thread_num() << ") record (" << i << ") " << sPayload << std::endl
                    << "second line" << std::endl;
            logger.Write(message, true);
        }
    }
    std::string sConsole = testing::internal::GetCapturedStdout();

    std::vector<std::string> vLines = SplitLines(ReadFile(dir.File("run.log")));
    ASSERT_EQ(vLines.size(), 2u + 2u * iThreads * iPerThread);
    std::set<std::string> seen;
    for (std::size_t i = 2; i < vLines.size(); i += 2) {
        // The prefix carries the writer's own thread number.
        std::string sLine = MaskStamps(vLines[i]);
        std::string sThread = sLine.substr(4, 1);
        std::size_t record = sLine.find(" record (");
        ASSERT_NE(record, std::string::npos) << sLine;
        std::string sIndex = sLine.substr(record + 9, sLine.find(')', record) - record - 9);
        EXPECT_EQ(sLine, "Thr:" + sThread + " [STAMP]  worker: thread (" + sThread + ") record (" + sIndex + ") " +
                             sPayload);
        EXPECT_EQ(vLines[i + 1], "second line");
        seen.insert(sThread + "/" + sIndex);
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(iThreads * iPerThread));
    // The console echoes never interleave either.
    std::vector<std::string> vConsole = SplitLines(sConsole);
    ASSERT_EQ(vConsole.size(), 2u * iThreads * iPerThread);
    for (std::size_t i = 0; i < vConsole.size(); i += 2) EXPECT_EQ(vConsole[i + 1], "second line");
}

TEST(Logger, GetLoggerIsOneProcessWideObject) {
    ASSERT_NE(GetLogger(), nullptr);
    EXPECT_EQ(GetLogger(), GetLogger());
}
