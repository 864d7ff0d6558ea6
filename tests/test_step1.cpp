#include <gtest/gtest.h>

#include "TestHelpers.h"

namespace {

std::string SamLine(const std::string& name, const std::string& flag, const std::string& sChromosome, int iPosition) {
    return name + "\t" + flag + "\t" + sChromosome + "\t" + std::to_string(iPosition) + "\t255\t36M\t*\t0\t0\t" +
           "ACGTACGTACGTACGTACGTACGTACGTACGTACGT\tIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIII#\tMD:Z:36\n";
}

}  // namespace

TEST(Step1, LogLinesAndExitStatus) {
    const std::string sZero = "\nprocess2: ZERO lines read from the input file... nothing left to do.... exiting.\n\n";
    const std::string sUnreadable = "KORVEX v2.0.0: the SAM file (";
    const std::string sNoLine = "process2: the SAM file (in.sam) has no usable alignment line: ";
    const std::string sRead = "process2: We read (4) lines from the map file.\n"
                              "process2: map_1    now contains (2) items.\nprocess2: map_2    now contains (1) items.\n"
                              "process2: map_3    now contains (0) items.\nprocess2: map_4    now contains (0) items.\n"
                              "process2: map_5    now contains (0) items.\nprocess2: elapsed time (";
    // Two unique reads at one position on different references, and one read with two alignments.
    const std::string sSam = "@HD\tVN:1.0\n" + SamLine("u1", "0", "c2", 500) + SamLine("u2", "16", "c1", 500) +
                             SamLine("m", "0", "c1", 100) + SamLine("m", "0", "c2", 900) + SamLine("x", "4", "c", 1);
    struct Case { std::string sMap, sSam; int iExit; std::vector<std::string> vPieces; std::string sProb = "PROP"; };
    const std::vector<Case> cases = {
        {"in.sam", "@HD\tVN:1.0\n" + SamLine("a", "4", "c1", 1) + SamLine("b", "4", "c1", 2) + "short\tline\n", 0,
         {"BuildReadCollections: 3 lines were rejected because of non-standard format.\n"
          "BuildReadCollections:   1 fewer than 11 fields (first: line 4)\n"
          "BuildReadCollections:   2 unmapped (first: line 2)\n\n",
          sZero, sNoLine + "all 3 alignment lines were rejected (the reasons are listed above). No output was written.\n"}},
        {"in.sam", "@HD\tVN:1.0\n@SQ\tSN:c1\tLN:100\n", 0,
         {"\n==> Step 1: Reading the SAM file, processing into multiread containers.\n" + sZero, sNoLine +
          "GetSequenceLenFromSAMFile: Couldn't open and read a valid Sequence line from the map file, (in.sam). "
          "No output was written.\n"}},
        {"missing.sam", "", 1, {sUnreadable + "missing.sam) cannot be opened: No such file or directory\n"}},
        {".", "", 1, {sUnreadable + ".) is not a regular file (it is a directory); give a file, or - for standard input\n"}},
        {"", "", 1, {"KORVEX v2.0.0: process2: no SAM file was given: set MAP_FILENAME\n"}},
        {"/proc/self/mem", "", 1, {sUnreadable + "/proc/self/mem) cannot be read: Input/output error"}},
        {"in.sam", sSam, 0,
         {sRead, ") secs   (", " mins)\nprocess2: The size of the LineNumberMap is: 4\n==> Step 1: Finished.\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sMap + " " + c.sProb + " " + c.sSam.substr(0, 40));
        TempDir dir;
        if (!c.sSam.empty()) WriteFile(dir.File("in.sam"), c.sSam);
        WriteFile(dir.File("run.cfg"),
                  "LOG_FILENAME=run.log\nSTRANDNESS_OPTION=OFF\nPROB_OUTPUT=" + c.sProb + "\nMAP_FILENAME=" + c.sMap);
        ProgramResult result = RunKorvex(dir.Path(), {"run.cfg"});
        EXPECT_EQ(result.iExitStatus, c.iExit);
        std::string sLog;  // every record, without its stamp
        for (const std::string& sLine : LogTexts(dir.File("run.log"))) sLog += sLine + "\n";
        for (const std::string& sPiece : c.vPieces)
            EXPECT_NE(sLog.find(sPiece), std::string::npos) << sPiece << "\nis not in the log:\n" << sLog;
        // A failure or an empty run says why on standard error, as the last thing there.
        if (c.iExit != 0 || c.sSam != sSam) {
            EXPECT_NE(sLog.find(LastLine(result.sStderr)), std::string::npos) << result.sStderr;
        }
        // Nothing after the ZERO-lines message.
        const bool bRead = c.sSam == sSam, bFinished = bRead && c.iExit == 0;
        EXPECT_EQ(result.sStdout.find("process2: We read") != std::string::npos, bRead);
        EXPECT_EQ(sLog.find("LineNumberMap") != std::string::npos, bFinished);
        EXPECT_EQ(FileExists(dir.File("in.sam+")), bFinished);
    }
}
