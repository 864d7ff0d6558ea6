// Whole runs of korvex on small SAM files, checking what Step 1 logs and how the run ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestHelpers.h"

namespace {

const std::string SEQ36 = "ACGTACGTACGTACGTACGTACGTACGTACGTACGT";
const std::string QUAL36 = "IIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIII#";
const char* const ZERO_LINES =
    "\nprocess2: ZERO lines read from the input file... nothing left to do.... exiting.\n\n";

std::string SamLine(const std::string& name, const std::string& flag, const std::string& chromosome, int position,
                    const std::string& md = "MD:Z:36") {
    return name + "\t" + flag + "\t" + chromosome + "\t" + std::to_string(position) + "\t255\t36M\t*\t0\t0\t" +
           SEQ36 + "\t" + QUAL36 + "\tXA:i:0\t" + md + "\n";
}

std::string Config(const std::string& sMapLine, const std::string& sProbOutput) {
    return "LOG_FILENAME=run.log\nSTRANDNESS_OPTION=OFF\nPROB_OUTPUT=" + sProbOutput + "\n" + sMapLine;
}

// The first whole line of text that contains sPart, without its line end; empty when none does.
std::string LineContaining(const std::string& text, const std::string& sPart) {
    for (const std::string& sLine : SplitLines(text))
        if (sLine.find(sPart) != std::string::npos) return sLine;
    return std::string();
}

struct KorvexRun {
    TempDir dir;
    ProgramResult result;
    std::string sLog;

    // sSam is written to in.sam unless it is empty; sMapLine names the SAM file.
    KorvexRun(const std::string& sSam, const std::string& sMapLine, const std::string& sProbOutput = "PROP") {
        if (!sSam.empty()) WriteFile(dir.File("in.sam"), sSam);
        WriteFile(dir.File("run.cfg"), Config(sMapLine, sProbOutput));
        result = RunKorvex(dir.Path(), {"run.cfg"});
        sLog = ReadFile(dir.File("run.log"));
    }
    bool Printed(const std::string& sText) const { return result.sStdout.find(sText) != std::string::npos; }
    bool Logged(const std::string& sText) const { return sLog.find(sText) != std::string::npos; }
};

}  // namespace

TEST(Step1, SamFilesWithoutUsableLinesEndNormally) {
    struct Case {
        std::string sName;
        std::string sSam;
        bool bRejectedLineLogged;
    };
    const std::vector<Case> cases = {
        {"all rejected",
         "@HD\tVN:1.0\n" + SamLine("a", "4", "chr1", 1) + SamLine("b", "4", "chr1", 2) + "short\tline\n", true},
        {"header only", "@HD\tVN:1.0\n@SQ\tSN:chr1\tLN:100\n", false},
        {"empty file", "\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sName);
        KorvexRun run(c.sSam, "MAP_FILENAME=in.sam\n");
        EXPECT_EQ(run.result.iExitStatus, 0);
        EXPECT_TRUE(run.Printed(
            "\n==> Step 1: Reading the SAM file, processing into multiread containers.\n"));
        EXPECT_EQ(run.Printed("BuildReadCollections: 3 lines were rejected because of non-standard format.\n\n"),
                  c.bRejectedLineLogged);
        EXPECT_TRUE(run.Printed(ZERO_LINES));
        EXPECT_TRUE(run.Logged("process2: ZERO lines read from the input file"));
        EXPECT_FALSE(run.Printed("process2: We read"));
        EXPECT_FALSE(run.Printed("==> Step 1: Finished."));
        EXPECT_FALSE(run.Printed("KORVEX v2.0.0: "));
        EXPECT_TRUE(run.Printed("main: Time taken = "));
        EXPECT_FALSE(FileExists(run.dir.File("in.sam+")));
    }
}

TEST(Step1, UnopenableSamFileFailsNamingFileAndReason) {
    struct Case {
        std::string sMapLine;
        std::string sError;
    };
    const std::vector<Case> cases = {
        {"MAP_FILENAME=missing.sam\n",
         "KORVEX v2.0.0: process2: The SAM file (missing.sam) could not be read: No such file or directory.\n"},
        {"MAP_FILENAME=.\n", "KORVEX v2.0.0: process2: The SAM file (.) could not be read: it is a directory.\n"},
        {"", "KORVEX v2.0.0: process2: The SAM file () could not be read: no file name was given (MAP_FILENAME is "
             "empty).\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sMapLine);
        KorvexRun run("", c.sMapLine);
        EXPECT_EQ(run.result.iExitStatus, 1);
        EXPECT_TRUE(run.Printed(ZERO_LINES));
        EXPECT_TRUE(run.Printed(c.sError)) << run.result.sStdout;
        EXPECT_TRUE(run.Logged(c.sError));
        EXPECT_TRUE(run.Printed("main: Time taken = "));
    }
}

TEST(Step1, InvalidProbOutputEndsAfterReading) {
    std::string sSam = SamLine("r1", "0", "chr1", 100) + SamLine("r2", "0", "chr1", 200);
    KorvexRun run(sSam, "MAP_FILENAME=in.sam\n", "bayes");
    EXPECT_EQ(run.result.iExitStatus, 1);
    EXPECT_TRUE(run.Printed("process2: map_1    now contains (2) items.\n"));
    EXPECT_TRUE(run.Printed("process2: map_5    now contains (0) items.\n"));
    EXPECT_TRUE(run.Printed("process2: elapsed time ("));
    const std::string sLine = LineContaining(run.result.sStdout, ". Exiting program.");
    ASSERT_GE(sLine.size(), 18u) << run.result.sStdout;
    EXPECT_NE(sLine.find("bayes"), std::string::npos);
    EXPECT_EQ(sLine.substr(sLine.size() - 18), ". Exiting program.");
    EXPECT_GT(run.result.sStdout.find(sLine), run.result.sStdout.find("process2: elapsed time ("));
    EXPECT_TRUE(run.Logged(sLine));
    EXPECT_FALSE(run.Printed("The size of the LineNumberMap"));
    EXPECT_FALSE(FileExists(run.dir.File("in.sam+")));
}

TEST(Step1, LogsContainerSizesAndGivesUniqueReadsProbabilityOne) {
    // Two unique reads at one position on different references, and one read with two alignments.
    std::string sSam = "@HD\tVN:1.0\n" + SamLine("u1", "0", "chr2", 500) + SamLine("u2", "16", "chr1", 500) +
                       SamLine("m", "0", "chr1", 100) + SamLine("m", "0", "chr2", 900, "MD:Z:35A0") +
                       SamLine("gone", "4", "chr1", 1);
    KorvexRun run(sSam, "MAP_FILENAME=in.sam\n");
    EXPECT_EQ(run.result.iExitStatus, 0) << run.result.sStdout;
    const std::string sExpected =
        "process2: We read (4) lines from the map file.\n"
        "process2: map_1    now contains (2) items.\n"
        "process2: map_2    now contains (1) items.\n"
        "process2: map_3    now contains (0) items.\n"
        "process2: map_4    now contains (0) items.\n"
        "process2: map_5    now contains (0) items.\n";
    EXPECT_TRUE(run.Printed(sExpected)) << run.result.sStdout;
    const std::string sElapsed = LineContaining(run.result.sStdout, "process2: elapsed time (");
    ASSERT_FALSE(sElapsed.empty()) << run.result.sStdout;
    EXPECT_NE(sElapsed.find(") secs   ("), std::string::npos);
    EXPECT_EQ(sElapsed.substr(sElapsed.size() - 6), " mins)");
    EXPECT_TRUE(run.Printed(sExpected + sElapsed +
                            "\nprocess2: The size of the LineNumberMap is: 4\n==> Step 1: Finished.\n"));
    EXPECT_TRUE(run.Logged("process2: The size of the LineNumberMap is: 4\n"));

    std::vector<std::string> vOutput = SplitLines(ReadFile(run.dir.File("in.sam+")));
    std::vector<std::string> vInput = SplitLines(sSam);
    ASSERT_EQ(vOutput.size(), vInput.size());
    for (int iLine : {1, 2}) EXPECT_EQ(vOutput[iLine].rfind(vInput[iLine] + "\t1", 0), 0u) << vOutput[iLine];
}
