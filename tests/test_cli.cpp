#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestHelpers.h"

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

// The log's lines with the record prefix removed.
std::vector<std::string> LogTexts(const std::string& path) {
    std::vector<std::string> vTexts;
    const std::string sPrefix = "Thr:0 [STAMP]  ";
    for (std::string sLine : SplitLines(MaskStamps(ReadFile(path)))) {
        if (sLine.compare(0, sPrefix.size(), sPrefix) == 0) sLine.erase(0, sPrefix.size());
        vTexts.push_back(sLine);
    }
    return vTexts;
}

std::string MissingLine(const std::string& sKey) {
    return "main: failed to find " + sKey + " in Input file (run.cfg)";
}

}  // namespace

TEST(Cli, NoArgumentPrintsUsageAndWaits) {
    for (const std::string& sInput : {std::string("y\n"), std::string()}) {
        TempDir dir;
        ProgramResult result = RunKorvex(dir.Path(), {}, sInput);
        EXPECT_EQ(result.iExitStatus, 1);
        std::vector<std::string> vErr = SplitLines(result.sStderr);
        ASSERT_EQ(vErr.size(), 9u) << result.sStderr;
        EXPECT_EQ(vErr[0], "");
        EXPECT_NE(vErr[1].find("KORVEX v2.0.0"), std::string::npos);
        EXPECT_EQ(vErr[2], "");
        const std::vector<std::string> vTail = {
            "KORVEX v2.0.0: invalid number of program arguments.",
            "Usage: KORVEX v2.0.0 InputFilename [nparts  part] ",
            "  where",
            "InputFilename:\tthe name of a file containing additional input parameters (name/value pairs)",
            "nparts\tnumber of parts to break the job into. [optional]",
            "part\twhich part (of total number parts to process) is this run. [optional]",
        };
        EXPECT_EQ(std::vector<std::string>(vErr.begin() + 3, vErr.end()), vTail);
        EXPECT_EQ(result.sStdout, "\n\n\nWaiting for a character and <cr>: ");
        EXPECT_FALSE(FileExists(dir.File("Logger.out")));
    }
}

TEST(Cli, RefusedParametersEndBeforeTheDump) {
    struct Case {
        std::string sConfig;
        std::vector<std::string> vArgs;  // after the configuration file name
        std::string sLastLine;
    };
    const std::string sBase = "LOG_FILENAME=run.log\nSTRANDNESS_OPTION=ON\n";
    const std::string sInvalid = "main: invalid run parameters: ";
    const Case cases[] = {
        {"LOG_FILENAME=run.log\nSTRANDNESS_OPTION=on\n", {}, "main: Invalid value of STRANDNESS_OPTION: on. Exit program."},
        {"LOG_FILENAME=run.log\n", {}, "main: Invalid value of STRANDNESS_OPTION: . Exit program."},
        {sBase, {"abc"}, sInvalid + "nparts > 0 is false (nparts = 0)."},
        {sBase + "NUM_PARTS=0\n", {"3", "1"}, sInvalid + "nparts > 0 is false (nparts = 0)."},
        {sBase, {"3", "0"}, sInvalid + "part > 0 is false (part = 0)."},
        {sBase, {"3", "-2"}, sInvalid + "part > 0 is false (part = -2)."},
        {sBase, {"3", "4"}, sInvalid + "part <= nparts is false (part = 4, nparts = 3)."},
        // The file wins over the command line: nparts 3 from the file, part 4 from the command line.
        {sBase + "NUM_PARTS=3\n", {"5", "4"}, sInvalid + "part <= nparts is false (part = 4, nparts = 3)."},
        {sBase + "NUM_PARTS=2\nPART_TO_RUN=3\n", {"5", "1"}, sInvalid + "part <= nparts is false (part = 3, nparts = 2)."},
        {sBase + "NUM_THREADS=8\n", {}, sInvalid + "iNumThreads > 0 && iNumThreads < 8 is false (iNumThreads = 8)."},
        {sBase + "NUM_THREADS=0\n", {}, sInvalid + "iNumThreads > 0 && iNumThreads < 8 is false (iNumThreads = 0)."},
        {sBase + "TOTAL_ITERATIONS=1\n", {}, sInvalid + "iTotalIterations > 1 is false (iTotalIterations = 1)."},
        {sBase + "BURNIN_ITERATIONS=-1\n", {},
         sInvalid + "iBurninIterations >= 0 && iBurninIterations <= iTotalIterations is false "
                    "(iBurninIterations = -1, iTotalIterations = 1000)."},
        // A value that is no number keeps the default: TOTAL_ITERATIONS stays 1000.
        {sBase + "TOTAL_ITERATIONS=abc\nBURNIN_ITERATIONS=1001\n", {},
         sInvalid + "iBurninIterations >= 0 && iBurninIterations <= iTotalIterations is false "
                    "(iBurninIterations = 1001, iTotalIterations = 1000)."},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir.File("run.cfg"), c.sConfig);
        std::vector<std::string> vArgs = {"run.cfg"};
        vArgs.insert(vArgs.end(), c.vArgs.begin(), c.vArgs.end());
        ProgramResult result = RunKorvex(dir.Path(), vArgs);
        EXPECT_EQ(result.iExitStatus, 1) << c.sLastLine;
        std::vector<std::string> vLog = LogTexts(dir.File("run.log"));
        ASSERT_FALSE(vLog.empty()) << c.sLastLine;
        EXPECT_EQ(vLog.back(), c.sLastLine);
        EXPECT_EQ(result.sStdout.find("Contents of the configuration file"), std::string::npos) << c.sLastLine;
        EXPECT_NE(result.sStdout.find(c.sLastLine + "\n"), std::string::npos) << c.sLastLine;
    }
}

TEST(Cli, MissingConfigurationFileReportsEveryKeyInOrder) {
    TempDir dir;
    ProgramResult result = RunKorvex(dir.Path(), {"run.cfg", "2"});
    EXPECT_EQ(result.iExitStatus, 1);
    EXPECT_EQ(result.sStdout.rfind(
                  "main: failed to find LOG_FILENAME in Input file (run.cfg), using default name (Logger.out).\n\n", 0),
              0u)
        << result.sStdout;
    std::vector<std::string> vLog = SplitLines(MaskStamps(ReadFile(dir.File("Logger.out"))));
    ASSERT_EQ(vLog.size(), 10u);
    EXPECT_EQ(vLog[0], "Log created: [STAMP]");
    EXPECT_EQ(vLog[1], "");
    EXPECT_EQ(vLog[2], "Thr:0 [STAMP]  ");  // the banner starts with a line end
    EXPECT_NE(vLog[3].find("KORVEX v2.0.0"), std::string::npos);
    EXPECT_EQ(vLog[4], "");
    std::vector<std::string> vTexts = LogTexts(dir.File("Logger.out"));
    const std::vector<std::string> vExpected = {
        MissingLine("MAX_NUM_MISMATCHES_FOR_TOP_HITS"), MissingLine("EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS"),
        MissingLine("SEQ_FLANKING_VALUE"), MissingLine("STRANDNESS_OPTION"),
        "main: Invalid value of STRANDNESS_OPTION: . Exit program.",
    };
    EXPECT_EQ(std::vector<std::string>(vTexts.begin() + 5, vTexts.end()), vExpected);
}

TEST(Cli, AcceptedParametersAreDumpedInKeyOrder) {
    TempDir dir;
    WriteFile(dir.File("run.cfg"),
              "# a run\nLOG_FILENAME = my run.log\nSTRANDNESS_OPTION=OFF\nNUM_THREADS=7\nzeta=unused value\n"
              "MAP_FILENAME=missing.sam\nPROB_OUTPUT=BOTH");
    ProgramResult result = RunKorvex(dir.Path(), {"run.cfg", "4", "2", "ignored"});
    EXPECT_FALSE(FileExists(dir.File("Logger.out")));
    std::vector<std::string> vTexts = LogTexts(dir.File("my"));  // the first word of LOG_FILENAME
    const std::vector<std::string> vMissing = {
        MissingLine("MAX_NUM_MISMATCHES_FOR_TOP_HITS"), MissingLine("EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS"),
        MissingLine("SEQ_FLANKING_VALUE"), MissingLine("NUM_PARTS"), MissingLine("PART_TO_RUN"),
        MissingLine("POLYMORPHISM_RATE"), MissingLine("TOTAL_ITERATIONS"), MissingLine("BURNIN_ITERATIONS"),
    };
    const std::vector<std::string> vDump = {
        "Contents of the configuration file (run.cfg): ",
        "  LOG_FILENAME = my run.log",
        "  MAP_FILENAME = missing.sam",
        "  NUM_THREADS = 7",
        "  PROB_OUTPUT = BOTH",
        "  STRANDNESS_OPTION = OFF",
        "  zeta = unused value",
        "",
    };
    ASSERT_GE(vTexts.size(), 5 + vMissing.size() + vDump.size());
    EXPECT_EQ(std::vector<std::string>(vTexts.begin() + 5, vTexts.begin() + 5 + vMissing.size()), vMissing);
    EXPECT_EQ(std::vector<std::string>(vTexts.begin() + 5 + vMissing.size(),
                                       vTexts.begin() + 5 + vMissing.size() + vDump.size()),
              vDump);
    EXPECT_EQ(result.sStdout.find("failed to find LOG_FILENAME"), std::string::npos);
}
