#include <gtest/gtest.h>
#include "TestHelpers.h"

TEST(Cli, NoArgumentPrintsUsageAndWaits) {
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
        EXPECT_EQ(result.sStdout, "\n\n\nWaiting for a character and <cr>: ");
        EXPECT_FALSE(FileExists(dir.File("Logger.out")));
    }
}

TEST(Cli, RefusedParametersEndTheRunBeforeTheDump) {
    struct Case { std::string sConfig; std::vector<std::string> vArgs; std::string sLastLine; };
    const std::string sOn = "LOG_FILENAME=run.log\nSTRANDNESS_OPTION=ON\n", sBad = "main: invalid run parameters: ";
    const std::string sBurnin = "iBurninIterations >= 0 && iBurninIterations <= iTotalIterations is false (";
    const Case cases[] = {
        {"", {"2"}, "main: Invalid value of STRANDNESS_OPTION: . Exit program."},  // no file: the log is Logger.out
        {"LOG_FILENAME=run.log\nSTRANDNESS_OPTION=on\n", {},
         "main: Invalid value of STRANDNESS_OPTION: on. Exit program."},
        {sOn, {"abc"}, sBad + "nparts > 0 is false (nparts = 0)."},
        {sOn + "NUM_PARTS=0\n", {"3", "1"}, sBad + "nparts > 0 is false (nparts = 0)."},  // the file wins
        {sOn, {"3", "0"}, sBad + "part > 0 is false (part = 0)."},
        {sOn + "NUM_PARTS=2\nPART_TO_RUN=3\n", {"5", "1"}, sBad + "part <= nparts is false (part = 3, nparts = 2)."},
        {sOn + "NUM_THREADS=8\n", {}, sBad + "iNumThreads > 0 && iNumThreads < 8 is false (iNumThreads = 8)."},
        {sOn + "NUM_THREADS=0\n", {}, sBad + "iNumThreads > 0 && iNumThreads < 8 is false (iNumThreads = 0)."},
        {sOn + "TOTAL_ITERATIONS=1\n", {}, sBad + "iTotalIterations > 1 is false (iTotalIterations = 1)."},
        {sOn + "BURNIN_ITERATIONS=-1\n", {}, sBad + sBurnin + "iBurninIterations = -1, iTotalIterations = 1000)."},
        {sOn + "TOTAL_ITERATIONS=abc\nBURNIN_ITERATIONS=1001\n", {},  // abc is no number: 1000 stays
         sBad + sBurnin + "iBurninIterations = 1001, iTotalIterations = 1000)."}};
    const std::string sNoLog =
        "main: failed to find LOG_FILENAME in Input file (run.cfg), using default name (Logger.out).\n";
    for (const Case& c : cases) {
        TempDir dir;
        if (!c.sConfig.empty()) WriteFile(dir.File("run.cfg"), c.sConfig);
        std::vector<std::string> vArgs = {"run.cfg"};
        vArgs.insert(vArgs.end(), c.vArgs.begin(), c.vArgs.end());
        ProgramResult result = RunKorvex(dir.Path(), vArgs);
        EXPECT_EQ(result.iExitStatus, 1) << c.sLastLine;
        EXPECT_EQ(result.sStdout.rfind(sNoLog, 0) == 0, c.sConfig.empty()) << result.sStdout;
        std::vector<std::string> vLog = LogTexts(dir.File(c.sConfig.empty() ? "Logger.out" : "run.log"));
        EXPECT_EQ(vLog.empty() ? "" : vLog.back(), c.sLastLine);
        EXPECT_EQ(result.sStdout.find("Contents of the configuration file"), std::string::npos) << c.sLastLine;
    }
}

TEST(Cli, MissingKeysInTableOrderThenTheDumpInKeyOrder) {
    TempDir dir;
    WriteFile(dir.File("run.cfg"), "# a run\nLOG_FILENAME = my run.log\nSTRANDNESS_OPTION=OFF\nNUM_THREADS=7\n"
                                   "zeta=unused value\nMAP_FILENAME=missing.sam\nPROB_OUTPUT=BOTH");
    RunKorvex(dir.Path(), {"run.cfg", "4", "2", "ignored"});
    std::vector<std::string> vExpected = {"Log created: [STAMP]", "", "",
                                          "KORVEX v2.0.0 -- probabilities of the alignments of multireads", ""};
    for (const char* sKey : {"MAX_NUM_MISMATCHES_FOR_TOP_HITS", "EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS",
                             "SEQ_FLANKING_VALUE", "NUM_PARTS", "PART_TO_RUN", "POLYMORPHISM_RATE", "TOTAL_ITERATIONS",
                             "BURNIN_ITERATIONS"})
        vExpected.push_back("main: failed to find " + std::string(sKey) + " in Input file (run.cfg)");
    vExpected.insert(vExpected.end(), {"Contents of the configuration file (run.cfg): ", "  LOG_FILENAME = my run.log",
                                       "  MAP_FILENAME = missing.sam", "  NUM_THREADS = 7", "  PROB_OUTPUT = BOTH",
                                       "  STRANDNESS_OPTION = OFF", "  zeta = unused value", ""});  // in key order
    std::vector<std::string> vLog = LogTexts(dir.File("my"));  // the first word of LOG_FILENAME names the log
    if (vLog.size() > vExpected.size()) vLog.resize(vExpected.size());
    EXPECT_EQ(vLog, vExpected);
}
