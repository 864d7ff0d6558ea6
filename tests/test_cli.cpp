// The program's command line, run as a user would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>

#include "TestHelpers.h"

namespace {

std::size_t FileCount(const std::string& sDir) {
    std::size_t iCount = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(sDir)) ++iCount;
    return iCount;
}

}  // namespace

// Without arguments: the usage, then no wait, whether standard input ends or stays open.
TEST(Cli, NoArgumentPrintsUsageAndReturnsAtOnce) {
    const std::string sStderr = "\nKORVEX v2.0.0 -- probabilities of the alignments of multireads\n\n"
        "KORVEX v2.0.0: invalid number of program arguments.\n"
        "Usage: KORVEX v2.0.0 InputFilename [nparts  part] \n  where\n"
        "InputFilename:\tthe name of a file containing additional input parameters (name/value pairs)\n"
        "nparts\tnumber of parts to break the job into. [optional]\n"
        "part\twhich part (of total number parts to process) is this run. [optional]\n";
    for (const std::string sInput : {"y\n", ""}) {  // an answer, or the end of input
        TempDir dir;
        ProgramResult result = RunKorvex(dir.Path(), {}, sInput);
        EXPECT_EQ(result.iExitStatus, 1);
        EXPECT_EQ(result.sStderr, sStderr);
        EXPECT_EQ(result.sStdout, "");
        EXPECT_EQ(FileCount(dir.Path()), 0u);
    }
    TempDir dir;  // a pipe that stays open and never delivers a character: timeout's 124 if it waited
    const std::string sCommand = "cd " + dir.Path() + " && mkfifo in && timeout 20 " + KORVEX_BINARY +
                                 " <>in >/dev/null 2>&1";
    const int iStatus = std::system(sCommand.c_str());
    EXPECT_EQ(WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1, 1);
}

TEST(Cli, HelpAndVersionCreateNoFile) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--help"}, "KORVEX v2.0.0 -- probabilities of the alignments of multireads\n\nUsage:\n"},
        {{"-h"}, "KORVEX v2.0.0 -- probabilities"}, {{"run.cfg", "NUM_THREADS=2", "--help"}, "KORVEX v2.0.0 --"},
        {{"--version"}, "KORVEX v2.0.0\n"}, {{"merge", "--help"}, "Usage: korvex merge CONFIG NPARTS [KEY=VALUE ...]\n"}};
    for (const auto& [vArgs, sStart] : cases) {
        TempDir dir;
        ProgramResult result = RunKorvex(dir.Path(), vArgs);
        EXPECT_EQ(result.iExitStatus, 0) << sStart;
        EXPECT_EQ(result.sStdout.rfind(sStart, 0), 0u) << result.sStdout;
        EXPECT_EQ(result.sStderr, "");
        EXPECT_EQ(FileCount(dir.Path()), 0u) << sStart;
    }
}

// Each refusal is the last line on standard error, is in the log when one exists, and comes
// before any work: no output file.
TEST(Cli, RefusalsComeBeforeAnyWork) {
    struct Case { std::vector<std::string> vArgs; std::string sLastLine; const char* sLog; };  // sLog: none when null
    const Case cases[] = {
        {{"absent.cfg"}, "main: the configuration file (absent.cfg) could not be opened: No such file or directory",
         nullptr},
        {{"run.cfg", "NUM_THREADS=8"}, "main: NUM_THREADS = 8 is outside 1 to 7", "run.log"},
        {{"run.cfg", "2", "3"}, "main: PART_TO_RUN = 3 (the part argument) is outside 1 to 2 (NUM_PARTS)",
         "run.part1of2.log"},  // the refused part keeps its default
        {{"run.cfg", "-x"}, "main: unknown option -x (korvex --help lists the options)", nullptr},
        {{"run.cfg", "1", "1", "2"}, "main: argument 2 is not KEY=VALUE: only settings may follow CONFIG [nparts [part]]",
         nullptr},
        {{"merge", "run.cfg"}, "merge: usage: korvex merge CONFIG NPARTS [KEY=VALUE ...]", nullptr},
        {{"merge", "run.cfg", "0"}, "merge: NUM_PARTS = 0 (the nparts argument) must be at least 1", "run.merge.log"},
        {{"merge", "run.cfg", "2"},
         "KORVEX v2.0.0: part 1 of 2 is missing: (in.part1of2.sam+) is not there; run that part first",
         "run.merge.log"}};
    for (const Case& c : cases) {
        TempDir dir;
        std::filesystem::copy_file(TestDataPath("example.sam"), dir.File("in.sam"));
        WriteFile(dir.File("run.cfg"), "LOG_FILENAME=run.log\nMAP_FILENAME=in.sam\nSTRANDNESS_OPTION=OFF\n");
        ProgramResult result = RunKorvex(dir.Path(), c.vArgs);
        EXPECT_EQ(result.iExitStatus, 1) << c.sLastLine;
        EXPECT_EQ(LastLine(result.sStderr), c.sLastLine);
        EXPECT_EQ(FileCount(dir.Path()), c.sLog ? 3u : 2u) << c.sLastLine;  // run.cfg, in.sam and the log
        if (c.sLog) { EXPECT_NE(ReadFile(dir.File(c.sLog)).find("  " + c.sLastLine + "\n"), std::string::npos); }
        EXPECT_FALSE(FileExists(dir.File("in.sam+"))) << c.sLastLine;
    }
    TempDir dir;  // warnings first, then every refusal; nothing of them on standard output
    WriteFile(dir.File("run.cfg"), "STRANDNESS_OPTION=OFF\nTOTAL_ITERATION=50\nNUM_THREADS=four\n");
    ProgramResult result = RunKorvex(dir.Path(), {"run.cfg", "POLYMORPHISM_RATE=1.5"});
    EXPECT_EQ(result.sStderr, "main: TOTAL_ITERATION: unknown key; did you mean TOTAL_ITERATIONS?\n"
                              "main: NUM_THREADS = four is not a whole number\n"
                              "main: POLYMORPHISM_RATE = 1.5 is outside 0 to 1 (exclusive)\n");
    EXPECT_EQ(result.sStdout, "\nKORVEX v2.0.0 -- probabilities of the alignments of multireads\n\n");
    EXPECT_NE(ReadFile(dir.File("Logger.out")).find("main: failed to find MAP_FILENAME in Input file (run.cfg)\n"),
              std::string::npos);
}

// The same run from a configuration file and from the command line alone gives the same
// output; quiet, the console keeps only the summary; the log always holds everything.
TEST(Cli, RunWithoutConfigurationFileAndQuiet) {
    const std::vector<std::string> vSettings = {"MAP_FILENAME=example.sam", "STRANDNESS_OPTION=OFF",
                                                "TOTAL_ITERATIONS=100", "BURNIN_ITERATIONS=20"};
    std::string sConfig;
    for (const std::string& sSetting : vSettings) sConfig += sSetting + "\n";
    std::string vSamplus[3];
    for (int iRun = 0; iRun < 3; ++iRun) {  // the file; the command line, quiet; the file, overridden by -q
        TempDir dir;
        std::filesystem::copy_file(TestDataPath("example.sam"), dir.File("example.sam"));
        WriteFile(dir.File("run.cfg"), sConfig + "NUM_THREADS=7\nTOTAL_ITERATIONS=50\nQUIET=0\n");
        std::vector<std::string> vArgs = {"run.cfg", "TOTAL_ITERATIONS=100"};
        if (iRun == 1) vArgs = vSettings;
        if (iRun == 1) vArgs.push_back("QUIET=1");
        if (iRun == 2) vArgs.push_back("-q");
        ProgramResult result = RunKorvex(dir.Path(), vArgs);
        EXPECT_EQ(result.iExitStatus, 0) << result.sStderr;
        EXPECT_EQ(result.sStderr, "");
        const bool bQuiet = iRun > 0;
        EXPECT_EQ(result.sStdout.find("KORVEX v2.0.0 --") == std::string::npos, bQuiet) << iRun;
        EXPECT_EQ(result.sStdout.find("process2:") == std::string::npos, bQuiet) << iRun;
        EXPECT_NE(result.sStdout.find("\nSummary\n  lines read:"), std::string::npos);
        const std::string sLog = ReadFile(dir.File("Logger.out"));
        for (const char* sPiece : {"KORVEX v2.0.0 --", "==> Step 2: Finished.", "\nSummary\n", "main: Time taken = "})
            EXPECT_NE(sLog.find(sPiece), std::string::npos) << sPiece;
        EXPECT_NE(sLog.find("  TOTAL_ITERATIONS = 100  (command line)\n"), std::string::npos) << sLog;
        vSamplus[iRun] = ReadFile(dir.File("example.sam+"));
    }
    EXPECT_FALSE(vSamplus[0].empty());
    EXPECT_EQ(vSamplus[1], vSamplus[0]);
    EXPECT_EQ(vSamplus[2], vSamplus[0]);
}
