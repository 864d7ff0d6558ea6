// The program's command line, run as a user would.
#include <gtest/gtest.h>

#include "TestHelpers.h"

const std::string BANNER = "KORVEX v2.0.0 -- probabilities of the alignments of multireads\n";

// Without arguments: the usage, then no wait, whether standard input ends or stays open.
TEST(Cli, NoArgumentPrintsUsageAndReturnsAtOnce) {
    const std::string sStderr = "\n" + BANNER + "\nKORVEX v2.0.0: invalid number of program arguments.\n"
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
        EXPECT_TRUE(FileNames(dir.Path()).empty());
    }
    TempDir dir;  // a pipe that stays open and never delivers a character: timeout's 124 if it waited
    EXPECT_EQ(RunShell("cd " + dir.Path() + " && mkfifo in && timeout 20 " + KORVEX_BINARY + " <>in >/dev/null 2>&1"), 1);
}

TEST(Cli, HelpAndVersionCreateNoFile) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--help"}, BANNER + "\nUsage:\n"}, {{"-h"}, BANNER}, {{"run.cfg", "NUM_THREADS=2", "--help"}, BANNER},
        {{"--version"}, "KORVEX v2.0.0\n"}, {{"merge", "--help"}, "Usage: korvex merge CONFIG NPARTS [KEY=VALUE ...]\n"}};
    for (const auto& [vArgs, sStart] : cases) {
        TempDir dir;
        ProgramResult result = RunKorvex(dir.Path(), vArgs);
        EXPECT_EQ(result.iExitStatus, 0) << sStart;
        EXPECT_EQ(result.sStdout.rfind(sStart, 0), 0u) << result.sStdout;
        EXPECT_EQ(result.sStderr, "");
        EXPECT_TRUE(FileNames(dir.Path()).empty()) << sStart;
    }
}

// Each refusal, and each run that finds nothing to do, says why in the last line on standard
// error, also in the log when one exists, and writes no output file.
TEST(Cli, RefusalsAndEmptyRunsSayWhyAndWriteNoOutput) {
    const std::string sRecord = "\t4\tc1\t1\t255\t36M\t*\t0\t0\t" + std::string(36, 'A') + "\t" + std::string(36, 'I') + "\n";
    const std::string sNoLine = "process2: the SAM file (example.sam) has no usable alignment line: ";
    struct Case { std::vector<std::string> vArgs; int iExit; std::string sLastLine; const char* sLog; std::string sSam = ""; };
    const Case cases[] = {  // sLog: none when null; sSam: the example when empty
        {{"absent.cfg"}, 1, "main: the configuration file (absent.cfg) could not be opened: No such file or directory",
         nullptr},
        {{"run.cfg", "NUM_THREADS=8"}, 1, "main: NUM_THREADS = 8 is outside 1 to 7", "run.log"},
        {{"run.cfg", "2", "3"}, 1, "main: PART_TO_RUN = 3 (the part argument) is outside 1 to 2 (NUM_PARTS)",
         "run.part1of2.log"},  // the refused part keeps its default
        {{"run.cfg", "-x"}, 1, "main: unknown option -x (korvex --help lists the options)", nullptr},
        {{"run.cfg", "1", "1", "2"}, 1,
         "main: argument 2 is not KEY=VALUE: only settings may follow CONFIG [nparts [part]]", nullptr},
        {{"merge", "run.cfg"}, 1, "merge: usage: korvex merge CONFIG NPARTS [KEY=VALUE ...]", nullptr},
        {{"merge", "run.cfg", "0"}, 1, "merge: NUM_PARTS = 0 must be at least 1", "run.merge.log"},
        {{"merge", "run.cfg", "2"}, 1,
         "KORVEX v2.0.0: part 1 of 2 is missing: (example.part1of2.sam+) is not there; run that part first",
         "run.merge.log"},
        {{"run.cfg", "MAP_FILENAME="}, 1, "KORVEX v2.0.0: process2: no SAM file was given: set MAP_FILENAME", "run.log"},
        {{"run.cfg", "MAP_FILENAME=/proc/self/mem"}, 1,
         "KORVEX v2.0.0: the SAM file (/proc/self/mem) cannot be read: Input/output error", "run.log"},
        {{"run.cfg"}, 0, sNoLine + "all 3 alignment lines were rejected (the reasons are listed above). No output was "
         "written.", "run.log", "@HD\tVN:1.0\na" + sRecord + "b" + sRecord + "short\tline\n"},
        {{"run.cfg"}, 0, sNoLine + "GetSequenceLenFromSAMFile: Couldn't open and read a valid Sequence line from the "
         "map file, (example.sam). No output was written.", "run.log", "@HD\tVN:1.0\n@SQ\tSN:c1\tLN:100\n"}};
    for (const Case& c : cases) {
        ExampleDir dir("LOG_FILENAME=run.log\nMAP_FILENAME=example.sam\nSTRANDNESS_OPTION=OFF\n");
        if (!c.sSam.empty()) WriteFile(dir.File("example.sam"), c.sSam);
        ProgramResult result = dir.Run(c.vArgs);
        EXPECT_EQ(result.iExitStatus, c.iExit) << c.sLastLine;
        EXPECT_EQ(LastLine(result.sStderr), c.sLastLine);
        EXPECT_EQ(FileNames(dir.Path()).size(), c.sLog ? 3u : 2u) << c.sLastLine;  // run.cfg, example.sam, the log
        if (c.sLog) { EXPECT_NE(ReadFile(dir.File(c.sLog)).find("  " + c.sLastLine + "\n"), std::string::npos); }
    }
    TempDir dir;  // warnings first, then every refusal; nothing of them on standard output
    WriteFile(dir.File("run.cfg"), "STRANDNESS_OPTION=OFF\nTOTAL_ITERATION=50\nNUM_THREADS=four\n");
    ProgramResult result = RunKorvex(dir.Path(), {"run.cfg", "POLYMORPHISM_RATE=1.5"});
    EXPECT_EQ(result.sStderr, "main: TOTAL_ITERATION: unknown key; did you mean TOTAL_ITERATIONS?\n"
                              "main: NUM_THREADS = four is not a whole number\n"
                              "main: POLYMORPHISM_RATE = 1.5 is outside 0 to 1 (exclusive)\n");
    EXPECT_EQ(result.sStdout, "\n" + BANNER + "\n");
    EXPECT_NE(ReadFile(dir.File("Logger.out")).find("main: failed to find MAP_FILENAME in Input file (run.cfg)\n"),
              std::string::npos);
}
