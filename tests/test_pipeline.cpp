// Whole runs of the program on a copy of tests/data/example.sam, undivided and in parts.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "TestHelpers.h"

const std::string BANNER = "KORVEX v2.0.0 -- probabilities of the alignments of multireads\n";

namespace fs = std::filesystem;

// A BOTH SAMplus line with only the value of column 1 or 2 kept.
std::string KeepColumn(const std::string& sLine, int iColumn) {
    const std::size_t iSecond = sLine.rfind('\t', sLine.size() - 2), iFirst = sLine.rfind('\t', iSecond - 1);
    return sLine.substr(0, iFirst + 1) +
           (iColumn == 1 ? sLine.substr(iFirst + 1, iSecond - iFirst) : sLine.substr(iSecond + 1));
}

// The SAMplus file of the example at the default settings is checked in: any change of a number
// shows here (regenerate it only for an intended change of the results). Other thread and job
// counts, and the same settings on the command line alone, give the same bytes; PROP keeps the
// unique-read share and BAYES the posterior of BOTH. Quiet, the console shows the summary alone.
TEST(Pipeline, GoldenFileWhateverTheThreadsJobsAndMode) {
    const std::string sGolden = ReadFile(TestDataPath("golden/example_default.sam+"));
    const std::vector<std::string> vGolden = SplitLines(sGolden);
    const struct { std::vector<std::string> vArgs; std::string sThreads; int iColumn; bool bQuiet; } cases[] = {
        {{"run.cfg"}, "1", 0, false},  // iColumn 0: both kept
        {{"run.cfg", "NUM_THREADS=3"}, "2", 0, false},
        {{"run.cfg", "NUM_THREADS=7", "-q"}, "2", 0, true},
        {{"MAP_FILENAME=example.sam", "STRANDNESS_OPTION=OFF", "QUIET=1"}, "2", 0, true},
        {{"run.cfg", "PROB_OUTPUT=PROP"}, "2", 1, false},
        {{"run.cfg", "PROB_OUTPUT=BAYES", "NUM_THREADS=4"}, "2", 2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vArgs.back());
        ExampleDir dir("MAP_FILENAME=example.sam\nSTRANDNESS_OPTION=OFF\n");
        const ProgramResult run = dir.Run(c.vArgs, {"OMP_NUM_THREADS=" + c.sThreads});
        EXPECT_EQ(run.iExitStatus, 0) << run.sStderr;
        EXPECT_EQ(FileNames(dir.Path()), (std::set<std::string>{"run.cfg", "Logger.out", "example.sam", "example.sam+"}));
        if (c.bQuiet) {
            EXPECT_EQ(run.sStdout.substr(0, run.sStdout.find("  wall time")),
                      "\nSummary\n  lines read:        3,481\n  lines rejected:    1\n    unmapped: 1 (first at line 2,323)\n"
                      "  unique reads:      1,665\n  multireads scored: 56 with 2, 16 with 3, 11 with 4, 66 with 5 "
                      "alignments\n  output:            example.sam+\n");
        } else {
            EXPECT_EQ(run.sStdout.find(BANNER), 1u);
        }
        const std::string sSamplus = ReadFile(dir.File("example.sam+"));
        if (c.iColumn == 0) { EXPECT_EQ(sSamplus, sGolden); }
        const std::vector<std::string> vLines = SplitLines(sSamplus);
        ASSERT_EQ(vLines.size(), vGolden.size());
        for (std::size_t i = 0; i < vLines.size() && c.iColumn > 0; ++i) EXPECT_EQ(vLines[i], KeepColumn(vGolden[i], c.iColumn));
    }
}

// A run reading standard input gives the same file, named after it, and leaves no copy of the input.
TEST(Pipeline, StandardInput) {
    ExampleDir dir("MAP_FILENAME=-\nSTRANDNESS_OPTION=OFF\nTOTAL_ITERATIONS=100\nBURNIN_ITERATIONS=20\n");
    TempDir tmp;
    ASSERT_EQ(RunKorvex(dir.Path(), {"run.cfg"}, ReadFile(dir.File("example.sam")), {"TMPDIR=" + tmp.Path()}).iExitStatus, 0);
    ASSERT_EQ(dir.Run({"run.cfg", "MAP_FILENAME=example.sam"}).iExitStatus, 0);
    EXPECT_EQ(ReadFile(dir.File("stdin.sam+")), ReadFile(dir.File("example.sam+")));
    EXPECT_TRUE(FileNames(tmp.Path()).empty());
}

namespace {

const std::string PARTS = "LOG_FILENAME=run.log\nMAP_FILENAME=example.sam\nSTRANDNESS_OPTION=OFF\nNUM_THREADS=2\n"
                          "TOTAL_ITERATIONS=100\nBURNIN_ITERATIONS=20\n";

std::vector<std::string> Args(std::vector<std::string> vArgs, const std::vector<std::string>& vSettings) {
    vArgs.insert(vArgs.end(), vSettings.begin(), vSettings.end());
    return vArgs;
}

// Runs the three parts at once, as a cluster's job array starts them.
void RunPartsAtOnce(const ExampleDir& dir, const std::vector<std::string>& vSettings) {
    std::vector<std::thread> vParts;
    std::vector<int> vStatus(3, -1);
    for (int k = 1; k <= 3; ++k)
        vParts.emplace_back([&, k] { vStatus[k - 1] = dir.Run(Args({"run.cfg", "3", std::to_string(k)}, vSettings)).iExitStatus; });
    for (std::thread& part : vParts) part.join();
    EXPECT_EQ(vStatus, (std::vector<int>{0, 0, 0}));
}

}  // namespace

// The merge of the parts is byte for byte the file of a whole run, whatever the parts write;
// the parts' files carry the part in their names and no intermediate file is left.
TEST(Parts, MergeGivesTheFileOfAWholeRun) {
    const struct { std::vector<std::string> vSettings; const char* sOutput; const char* sPartFile; } cases[] = {
        {{}, "example.sam+", "example.part2of3.sam+"},
        {{"PART_OUTPUT=VALUES"}, "example.sam+", "example.part2of3.sam+.values"},
        {{"OUTPUT_FORMAT=BAM"}, "example.korvex.bam", "example.part2of3.korvex.bam"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sPartFile);
        ExampleDir dir(PARTS);
        ASSERT_EQ(dir.Run(Args({"run.cfg"}, c.vSettings)).iExitStatus, 0);
        fs::rename(dir.File(c.sOutput), dir.File("whole"));
        RunPartsAtOnce(dir, c.vSettings);
        ASSERT_EQ(dir.Run(Args({"merge", "run.cfg", "3"}, c.vSettings)).iExitStatus, 0) << ReadFile(dir.File("run.merge.log"));
        EXPECT_EQ(ReadFile(dir.File(c.sOutput)), ReadFile(dir.File("whole")));
        const std::set<std::string> vFiles = FileNames(dir.Path());
        for (const std::string& sFile : {c.sPartFile + std::string(), c.sPartFile + std::string(".manifest"),
                                        std::string("run.part2of3.log")})
            EXPECT_EQ(vFiles.count(sFile), 1u) << sFile;
        for (const std::string& sFile : vFiles) EXPECT_EQ(sFile.find("tmp"), std::string::npos) << sFile;
    }
}

// A merge refuses, naming the file, parts that are missing, doubled, damaged, or from other
// settings or another input.
TEST(Parts, MergeRefusesPartsThatDoNotBelongTogether) {
    ExampleDir dir(PARTS);
    RunPartsAtOnce(dir, {});
    auto Part = [&](int k) { return dir.File("example.part" + std::to_string(k) + "of3.sam+"); };
    const std::string sKeep = dir.File("keep");
    fs::create_directory(sKeep);
    for (int k = 1; k <= 3; ++k)
        for (const std::string& sFile : {Part(k), Part(k) + ".manifest"}) fs::copy(sFile, sKeep);
    const auto overwrite = fs::copy_options::overwrite_existing | fs::copy_options::recursive;
    const struct { std::function<void()> change; std::vector<std::string> vSettings; std::string sError; } cases[] = {
        {[&] { fs::remove(Part(2)); }, {}, "part 2 of 3 is missing: (example.part2of3.sam+) is not there"},
        {[&] {
             fs::copy_file(Part(1), Part(2), overwrite);
             fs::copy_file(Part(1) + ".manifest", Part(2) + ".manifest", overwrite);
         },
         {}, "is that of part 1, not of part 2: a part is given twice"},
        {[] {}, {"TOTAL_ITERATIONS=99"}, "was computed with TOTAL_ITERATIONS = 100, but this merge has TOTAL_ITERATIONS = 99"},
        {[&] { WriteFile(Part(3), ReadFile(Part(3)).substr(0, ReadFile(Part(3)).find('\n', 1000) + 1)); }, {},
         "(example.part3of3.sam+) has 10 lines, but the input has 3481: it is damaged or cut short"},
        {[&] { WriteFile(dir.File("example.sam"), ReadFile(TestDataPath("example.sam")) + "\n"); }, {},  // the last
         "was computed with input_size = 492716, but this merge has input_size = 492717"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sError);
        fs::copy(sKeep, dir.Path(), overwrite);
        c.change();
        ProgramResult result = dir.Run(Args({"merge", "run.cfg", "3"}, c.vSettings));
        EXPECT_EQ(result.iExitStatus, 1);
        EXPECT_NE(LastLine(result.sStderr).find(c.sError), std::string::npos) << result.sStderr;
        EXPECT_FALSE(FileExists(dir.File("example.sam+")));
    }
}
