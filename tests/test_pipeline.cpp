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

// Each part writes the single run's values for its own multireads and "NA" for the others;
// together the parts cover every value.
TEST(Pipeline, PartsReproduceTheSingleRunValues) {
    const std::vector<std::string> vSingle = SplitLines(Reference());
    std::vector<bool> vSeen(vSingle.size(), false);  // some part wrote the line as the single run did
    for (const std::string sPart : {"1", "2", "3"}) {
        const RunResult run = RunExample(FAST + "NUM_THREADS=2\n", {"run.cfg", "3", sPart});
        const std::vector<std::string> vLines = SplitLines(run.sSamplus);
        ASSERT_EQ(vLines.size(), vSingle.size());
        int iElsewhere = 0;
        for (std::size_t i = 0; i < vLines.size(); ++i) {
            const bool bSame = vLines[i] == vSingle[i];
            vSeen[i] = vSeen[i] || bSame;
            iElsewhere += !bSame;
            EXPECT_TRUE(bSame || vLines[i] == SplitValues(vSingle[i])[0] + "\tNA\tNA\t") << sPart << ": " << vLines[i];
        }
        EXPECT_GT(iElsewhere, 0) << "part " << sPart << " computed everything";
    }
    EXPECT_EQ(std::count(vSeen.begin(), vSeen.end(), false), 0);
}

// A SAMplus file that cannot be created (its directory is missing) or written (the device is full).
TEST(Pipeline, UnwritableSamplusFileFailsTheRun) {
    const struct { const char* sLink; const char* sError; } cases[] = {
        {"no_such_dir/reads.sam+", "OutputSAMplus: the SAMplus file (example.sam+) can not be created."},
        {"/dev/full", "OutputSAMplus: the SAMplus file (example.sam+) could not be written completely"}};
    for (const auto& c : cases) {
        if (c.sLink[0] == '/' && !FileExists(c.sLink)) continue;  // a system without /dev/full
        const RunResult run = RunExample(FAST, {"run.cfg"}, {}, c.sLink);
        EXPECT_EQ(run.iExitStatus, 1) << c.sLink;
        for (const char* sExpected :
             {c.sError, "KORVEX v2.0.0: process2: the SAMplus file (example.sam+) could not be written."})
            EXPECT_NE(run.sLog.find(sExpected), std::string::npos) << run.sLog;
    }
}

// The SAMplus file of the example at the default settings, checked in: any change of a
// number shows here. Regenerate it only for an intended change of the results.
TEST(Pipeline, GoldenExampleAtDefaultSettings) {
    EXPECT_EQ(RunExample("").sSamplus, ReadFile(TestDataPath("golden/example_default.sam+")));
}

}  // namespace
