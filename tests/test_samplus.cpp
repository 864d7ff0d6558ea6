#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "Korvex.h"
#include "TestHelpers.h"

namespace {

const double NOT_COMPUTED = std::numeric_limits<double>::quiet_NaN();

// The Reads of a test, registered in LineNumberMap under their SAM line numbers. Runs in
// its own directory, where the log of the failure cases goes.
class SamplusTest : public ::testing::Test {
protected:
    SamplusTest() : chdir(dir.Path()), sSam(dir.File("reads.sam")), sSamplus(sSam + "+") { vReads.reserve(16); }

    void AddRead(int iLine, double dFirst, double dSecond) {
        vReads.emplace_back();
        Read& read = vReads.back();
        read.lineNumber = iLine;
        read.probability[0] = dFirst;
        read.probability[1] = dSecond;
        lineNumberMap[iLine] = &read;
    }

    std::vector<std::string> OutputLines(int iNumProbColumns) {
        EXPECT_TRUE(OutputSAMplus(sSam, lineNumberMap, iNumProbColumns));
        return SplitLines(ReadFile(sSamplus));
    }

    TempDir dir;
    ScopedChdir chdir;
    std::string sSam;
    std::string sSamplus;
    std::vector<Read> vReads;  // reserved up front: lineNumberMap points into it
    std::map<int, Read*> lineNumberMap;
};

TEST_F(SamplusTest, EveryLineGetsItsValuesOrNA) {
    WriteFile(sSam, "@HD\tVN:1.0\nu1\tchr1\nm1\tchr1\nm1\tchr2\nrejected line\nm2\tchr3\nm3\tchr1\n");
    AddRead(2, 1.0, 1.0);                // unique read
    AddRead(3, 0.5, 1.0 / 3.0);          // computed multiread
    AddRead(4, 0.0, 1e-07);
    AddRead(6, 0.75, 0.734521);          // line 5 was rejected by the reader
    AddRead(7, NOT_COMPUTED, NOT_COMPUTED);  // a multiread of another part

    std::vector<std::string> vLines = OutputLines(2);
    const std::vector<std::string> vExpected = {
        "@HD\tVN:1.0\tNA\tNA\t",       "u1\tchr1\t1\t1\t",         "m1\tchr1\t0.5\t0.333333\t",
        "m1\tchr2\t0\t1e-07\t",        "rejected line\tNA\tNA\t",  "m2\tchr3\t0.75\t0.734521\t",
        "m3\tchr1\tNA\tNA\t",
    };
    EXPECT_EQ(vLines, vExpected);
}

TEST_F(SamplusTest, OneColumnModesWriteTheFirstValueOnly) {
    WriteFile(sSam, "@SQ\tSN:chr1\nm1\tchr1\nm1\tchr2\n");
    AddRead(2, 0.25, NOT_COMPUTED);  // with one column the second value is never set
    AddRead(3, 0.75, NOT_COMPUTED);
    EXPECT_EQ(OutputLines(1), (std::vector<std::string>{"@SQ\tSN:chr1\tNA\t", "m1\tchr1\t0.25\t", "m1\tchr2\t0.75\t"}));
}

TEST_F(SamplusTest, LineEndsAndLineCountFollowTheInput) {
    const struct {
        const char* sInput;
        int iReadLine;  // the line registered with values 1 and 1; 0 for none
        const char* sExpected;
    } cases[] = {
        {"a\r\nb\r\n", 2, "a\r\tNA\tNA\t\nb\r\t1\t1\t\n"},  // Windows line ends keep their carriage return
        {"a\nb", 2, "a\tNA\tNA\t\nb\t1\t1\t\n"},            // a last line without newline is still a line
        {"a\n\nb\n", 3, "a\tNA\tNA\t\n\tNA\tNA\t\nb\t1\t1\t\n"},  // an empty line is a line
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        lineNumberMap.clear();
        vReads.clear();
        WriteFile(sSam, c.sInput);
        if (c.iReadLine > 0) AddRead(c.iReadLine, 1.0, 1.0);
        ASSERT_TRUE(OutputSAMplus(sSam, lineNumberMap, 2));
        EXPECT_EQ(ReadFile(sSamplus), c.sExpected) << "input: " << c.sInput;
    }
}

TEST_F(SamplusTest, ExistingOutputIsReplaced) {
    WriteFile(sSamplus, "old\nold\nold\nold\n");
    WriteFile(sSam, "x\n");
    EXPECT_EQ(OutputLines(1), std::vector<std::string>{"x\tNA\t"});
}

// A failure to produce the whole file must not be reported as success.
TEST_F(SamplusTest, FailuresAreReported) {
    WriteFile(sSam, "x\ny\n");
    std::filesystem::create_directory(sSamplus);
    EXPECT_FALSE(OutputSAMplus(sSam, lineNumberMap, 2)) << "output cannot be created";
    std::filesystem::remove(sSamplus);

    EXPECT_FALSE(OutputSAMplus(dir.File("missing.sam"), lineNumberMap, 2)) << "input missing";

    AddRead(5, 1.0, 1.0);
    EXPECT_FALSE(OutputSAMplus(sSam, lineNumberMap, 2)) << "a registered line beyond the file's end";
    lineNumberMap.clear();

    if (FileExists("/dev/full")) {
        std::filesystem::remove(sSamplus);
        ASSERT_EQ(symlink("/dev/full", sSamplus.c_str()), 0);
        EXPECT_FALSE(OutputSAMplus(sSam, lineNumberMap, 2)) << "device full";
    }
}

}  // namespace
