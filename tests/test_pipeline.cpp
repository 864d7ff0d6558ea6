// Whole runs of the program on a copy of tests/data/example.sam.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "TestHelpers.h"

namespace {

// Quick settings for runs compared with each other; a setting appended later replaces one.
const std::string FAST = "PROB_OUTPUT=BOTH\nNUM_THREADS=1\nTOTAL_ITERATIONS=100\nBURNIN_ITERATIONS=20\n";

struct RunResult { int iExitStatus; std::string sSamplus, sLog; std::set<std::string> vLeft; };  // vLeft: files left

// With sSamplusLink, the SAMplus file is a link to that path (and is not read back).
RunResult RunExample(const std::string& sSettings, const std::vector<std::string>& vArgs = {"run.cfg"},
                     const std::vector<std::string>& vEnv = {}, const char* sSamplusLink = nullptr) {
    TempDir dir;
    std::filesystem::copy_file(TestDataPath("example.sam"), dir.File("example.sam"));
    if (sSamplusLink != nullptr) std::filesystem::create_symlink(sSamplusLink, dir.File("example.sam+"));
    WriteFile(dir.File("run.cfg"), "MAP_FILENAME=example.sam\nSTRANDNESS_OPTION=OFF\n" + sSettings);
    RunResult result{RunKorvex(dir.Path(), vArgs, "", vEnv).iExitStatus,
                     sSamplusLink ? "" : ReadFile(dir.File("example.sam+")), ReadFile(dir.File("Logger.out")), {}};
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        result.vLeft.insert(entry.path().filename().string());
    return result;
}

// The SAMplus text of the run with one job on one thread that the other runs are compared with.
const std::string& Reference() {
    static const std::string sSamplus = RunExample(FAST, {"run.cfg"}, {"OMP_NUM_THREADS=1"}).sSamplus;
    return sSamplus;
}

// A "BOTH" SAMplus line split into the SAM text and its two values.
std::vector<std::string> SplitValues(const std::string& sLine) {
    const std::size_t iSecond = sLine.rfind('\t', sLine.size() - 2), iFirst = sLine.rfind('\t', iSecond - 1);
    return {sLine.substr(0, iFirst), sLine.substr(iFirst + 1, iSecond - iFirst - 1),
            sLine.substr(iSecond + 1, sLine.size() - iSecond - 2)};
}

// Other thread and job counts give the same bytes; "PROP" keeps the unique-read share and
// "BAYES" the posterior of "BOTH".
TEST(Pipeline, ThreadsJobsAndModes) {
    const std::vector<std::string> vBoth = SplitLines(Reference());
    const struct { const char* sSettings; int iColumn; } cases[] = {  // iColumn: the one kept, 0 for both
        {"NUM_THREADS=1\n", 0}, {"NUM_THREADS=3\n", 0}, {"NUM_THREADS=7\n", 0}, {"PROB_OUTPUT=PROP\n", 1},
        {"PROB_OUTPUT=BAYES\n", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sSettings);
        const RunResult run = RunExample(FAST + c.sSettings, {"run.cfg"}, {"OMP_NUM_THREADS=2"});
        EXPECT_EQ(run.iExitStatus, 0) << run.sLog;
        EXPECT_EQ(run.vLeft, (std::set<std::string>{"run.cfg", "Logger.out", "example.sam", "example.sam+"}));
        if (c.iColumn == 0) { EXPECT_EQ(run.sSamplus, Reference()); }
        const std::vector<std::string> vLines = SplitLines(run.sSamplus);
        ASSERT_EQ(vLines.size(), vBoth.size());
        for (std::size_t i = 0; i < vLines.size() && c.iColumn > 0; ++i)
            EXPECT_EQ(vLines[i], SplitValues(vBoth[i])[0] + "\t" + SplitValues(vBoth[i])[c.iColumn] + "\t");
    }
}

// An output that cannot be created (its directory is missing) or is not a file at all: the run
// fails naming it, and nothing is left but what was there.
TEST(Pipeline, UnwritableOutputFailsTheRun) {
    const struct { const char* sSetting; const char* sLink; const char* sError; } cases[] = {
        {"OUTPUT_FILE=no_such_dir/out.sam+\n", nullptr, "the output file (no_such_dir/out.sam+) cannot be created (as "},
        {"", "/dev/full", "the output file (example.sam+) exists and is not a regular file (it is a character device)"}};
    for (const auto& c : cases) {
        const RunResult run = RunExample(FAST + c.sSetting, {"run.cfg"}, {}, c.sLink);
        EXPECT_EQ(run.iExitStatus, 1) << c.sError;
        EXPECT_NE(run.sLog.find(std::string("KORVEX v2.0.0: ") + c.sError), std::string::npos) << run.sLog;
        std::set<std::string> expected{"run.cfg", "Logger.out", "example.sam"};
        if (c.sLink) expected.insert("example.sam+");
        EXPECT_EQ(run.vLeft, expected);
    }
}

// The SAMplus file of the example at the default settings, checked in: any change of a
// number shows here. Regenerate it only for an intended change of the results.
TEST(Pipeline, GoldenExampleAtDefaultSettings) {
    EXPECT_EQ(RunExample("").sSamplus, ReadFile(TestDataPath("golden/example_default.sam+")));
}

}  // namespace

// The summary of a run on the bundled example, and the same run reading standard input.
TEST(Pipeline, SummaryAndStandardInput) {
    TempDir dir;
    std::filesystem::copy_file(TestDataPath("example.sam"), dir.File("example.sam"));
    WriteFile(dir.File("run.cfg"), "STRANDNESS_OPTION=OFF\n" + FAST);
    ProgramResult run = RunKorvex(dir.Path(), {"-q", "run.cfg", "MAP_FILENAME=example.sam"});
    ASSERT_EQ(run.iExitStatus, 0) << run.sStderr;
    const std::string sSummary = run.sStdout.substr(run.sStdout.find("Summary\n"));
    EXPECT_EQ(sSummary.substr(0, sSummary.find("  wall time")),
              "Summary\n  lines read:        3,481\n  lines rejected:    1\n    unmapped: 1 (first at line 2,323)\n"
              "  unique reads:      1,665\n  multireads scored: 56 with 2, 16 with 3, 11 with 4, 66 with 5 alignments\n"
              "  output:            example.sam+\n");
    ProgramResult piped = RunKorvex(dir.Path(), {"-q", "run.cfg", "MAP_FILENAME=-"}, ReadFile(dir.File("example.sam")));
    ASSERT_EQ(piped.iExitStatus, 0) << piped.sStderr;
    EXPECT_EQ(ReadFile(dir.File("stdin.sam+")), ReadFile(dir.File("example.sam+")));
}
