#include <gtest/gtest.h>

#include "MapFileReader.h"
#include "TestHelpers.h"

namespace {

const std::string SEQ36 = "ACGTACGTACGTACGTACGTACGTACGTACGTACGT";
const std::string QUAL36 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij";  // its character tells the offset

std::string SamLine(const std::string& name, const std::string& flag, const std::string& sSeq = SEQ36,
                    const std::string& sQual = QUAL36, const std::string& sTags = "", const std::string& sRef = "c1") {
    return name + "\t" + flag + "\t" + sRef + "\t1234\t255\t36M\t*\t0\t0\t" + sSeq + "\t" + sQual +
           (sTags.empty() ? "" : "\t" + sTags) + "\n";
}

// The mismatch entries that are not the empty value {-1, ' '}, as "[offset,char]".
std::string Mismatches(const Read& read) {
    std::string s;
    for (const ReadMismatch& m : read.vMismatches)
        if (m.position != -1 || m.qualityChar != ' ') s += "[" + std::to_string(m.position) + "," + m.qualityChar + "]";
    return s;
}

struct ReadOutcome { std::vector<Read> vReads; int iRejected = 0; std::string sStdout; };

// Reads a SAM text like the collection builder: length first, then the records into one reused Read.
ReadOutcome ReadSam(const std::string& samText) {
    TempDir dir;
    WriteFile(dir.File("in.sam"), samText);
    MapFileReader reader;
    reader.SetFileName(dir.File("in.sam"));
    reader.OpenFile();
    std::string sError;
    EXPECT_TRUE(reader.GetSequenceLenFromSAMFile(sError)) << sError;
    reader.CloseFile();
    reader.OpenFile();
    ReadOutcome outcome;
    Read read;
    testing::internal::CaptureStdout();
    while (reader.Read_a_Line(read, outcome.iRejected)) outcome.vReads.push_back(read);
    outcome.sStdout = testing::internal::GetCapturedStdout();
    return outcome;
}

}  // namespace

TEST(MapFileReader, AcceptsLinesAndParsesMismatchTags) {
    auto Tagged = [](const std::string& sTags) { return SamLine("r", "0", SEQ36, QUAL36, sTags); };
    const std::string sLine2 = "ParseMismatchString: for Read of line number: 2 in SAM file: Warning: the ";
    const std::string sLength = "), is not equal to the Sequence Length (36).\n";
    const std::string sNegative = " holds a negative count; no mismatches are taken from it.\n";
    struct Case { std::string sLine; char cStrand = ' '; std::string sMismatches = "", sStdout = ""; };
    const std::vector<Case> cases = {  // strand ' ': the line is rejected
        {SamLine("r", "0"), '+'}, {SamLine("r", "16"), '-'}, {SamLine("r", "20"), '-'}, {SamLine("r", "256"), '+'},
        {SamLine("r", "4")}, {SamLine("r", "260")}, {SamLine("r", "*")}, {SamLine("r", "0", SEQ36.substr(1))},
        {SamLine("r", "0", SEQ36 + "A")}, {SamLine("r", "0", "N" + SEQ36.substr(1))}, {SamLine("r", "0", "*")},
        {SamLine("r", "0", "a" + SEQ36.substr(1))}, {"ten\t0\tchr1\t8\t255\t36M\t*\t0\t0\t" + SEQ36 + "\n"},
        {Tagged("XA:i:1\tMD:Z:3T0G31\tMD:Z:36"), '+', "[3,D][4,E]"}, {Tagged("MD:Z:10A25"), '+', "[10,K]"},
        {SamLine("r", "0", SEQ36, "*", "MD:Z:10A25"), '+', std::string("[10,\0]", 6)}, {Tagged("MD:Z:36"), '+'},
        {Tagged("MD:Z:0T35"), '+', "[0,A]"}, {SamLine("r", "16", SEQ36, QUAL36, "MD:Z:10A25"), '-', "[10,K]"},
        {Tagged("MD:Z:35A0"), '+', "[35,j]"}, {Tagged("MD:Z:5A0C29"), '+', "[5,F][6,G]"},
        {Tagged("MD:Z:1A1C1G1T28"), '+', "",
         "ParseMismatchString: Warning: The current number of mismatches is: (4), which exceeds the designated "
         "maximum number (3) of mismatches allowed.\n"
         "ParseMismatchString: No information will be extracted from this entry. Returning -1.\n"},
        {Tagged("MD:Z:10N25"), '+', "", sLine2 + "length found in the mismatch string MD:Z:10N25 (10 " + sLength},
        {Tagged("MD:Z:10^AC26"), '+', "", sLine2 + "length found in the mismatch string MD:Z:10^AC26 (38 " + sLength},
        {Tagged("MD:Z"), '+', "",
         sLine2 + "mismatch field MD:Z is too short to hold a mismatch string; no mismatches are taken from it.\n"},
        {Tagged("MD:Z:5A-1C30"), '+', "", sLine2 + "mismatch string MD:Z:5A-1C30" + sNegative},
        {Tagged("MD:Z:-1A36"), '+', "", sLine2 + "mismatch string MD:Z:-1A36" + sNegative},  // offset p would be 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sLine);
        // Line 1 leaves three mismatches in the reused Read; line 2 must clear them.
        ReadOutcome outcome = ReadSam(Tagged("MD:Z:0A0C0G33") + c.sLine);
        EXPECT_EQ(outcome.iRejected, c.cStrand == ' ' ? 1 : 0);
        EXPECT_EQ(outcome.sStdout, c.sStdout);
        ASSERT_EQ(outcome.vReads.size(), c.cStrand == ' ' ? 1u : 2u);
        EXPECT_EQ(Mismatches(outcome.vReads[0]), "[0,A][1,B][2,C]");
        if (c.cStrand == ' ') continue;
        EXPECT_EQ(outcome.vReads[1].strand, c.cStrand);
        EXPECT_EQ(Mismatches(outcome.vReads[1]), c.sMismatches);
    }
}

TEST(MapFileReader, ReadsWholeFiles) {
    const std::string sLongName(45, 'n');
    std::string sText = "@HD\tVN:1.0\n@SQ\tSN:c1\tLN:100\n" +
                        SamLine(sLongName, "0", SEQ36, QUAL36, "", "chromosome12") + "\n   \t \n" + SamLine("b", "4") +
                        " " + SamLine("c", "16");
    sText.pop_back();  // the last line has no line end and is still read
    ReadOutcome outcome = ReadSam(sText);
    EXPECT_EQ(outcome.iRejected, 1);
    ASSERT_EQ(outcome.vReads.size(), 2u);
    EXPECT_EQ(std::string(outcome.vReads[0].readID), sLongName.substr(0, 40));
    EXPECT_STREQ(outcome.vReads[0].chromosome, "chromosom");
    EXPECT_EQ(outcome.vReads[0].lineNumber, 3);
    EXPECT_EQ(outcome.vReads[1].lineNumber, 7);
    // A quality of 121 characters or more is stored without terminator; offset 120 ends it, 126 is past it.
    const std::string sQuality = std::string(120, 'q') + "z" + std::string(29, 'q');
    ReadOutcome wide = ReadSam(SamLine("r", "0", std::string(150, 'A'), sQuality, "MD:Z:120A5C23"));
    EXPECT_EQ(Mismatches(wide.vReads.at(0)), "[120,z]");
    EXPECT_EQ(wide.sStdout,
              "ParseMismatchString: warning: mismatch position (127), exceeds the range of Sequence Length (0-150); "
              "it will be ignored. \nParseMismatchString: now proceeding to next item in the mismatch list.\n");
}
