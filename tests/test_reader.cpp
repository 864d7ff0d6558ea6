#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "MapFileReader.h"
#include "TestHelpers.h"

namespace {

const std::string SEQ36 = "ACGTACGTACGTACGTACGTACGTACGTACGTACGT";
// A distinct character at every offset, so a stored qualityChar tells its offset.
const std::string QUAL36 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij";

std::string SamLine(const std::string& name, const std::string& flag, const std::string& chromosome, int position,
                    const std::string& seq = SEQ36, const std::string& qual = QUAL36, const std::string& tags = "") {
    std::string line = name + "\t" + flag + "\t" + chromosome + "\t" + std::to_string(position) +
                       "\t255\t36M\t*\t0\t0\t" + seq + "\t" + qual;
    if (!tags.empty()) line += "\t" + tags;
    return line + "\n";
}

struct ReadOutcome {
    bool bHaveLength = false;
    std::string sLengthError;
    std::vector<Read> vReads;
    int iRejected = 0;
    std::string sStdout;
};

// Reads a whole SAM text the way the collection builder does: length first, then records.
ReadOutcome ReadSam(const std::string& samText) {
    TempDir dir;
    WriteFile(dir.File("in.sam"), samText);
    MapFileReader reader;
    reader.SetFileName(dir.File("in.sam"));
    reader.OpenFile();
    ReadOutcome outcome;
    outcome.bHaveLength = reader.GetSequenceLenFromSAMFile(outcome.sLengthError);
    reader.CloseFile();
    if (!outcome.bHaveLength) return outcome;
    reader.OpenFile();
    Read read;
    testing::internal::CaptureStdout();
    while (reader.Read_a_Line(read, outcome.iRejected)) outcome.vReads.push_back(read);
    outcome.sStdout = testing::internal::GetCapturedStdout();
    return outcome;
}

// Fixes the run's read length by reading a one-line file with a sequence of that length.
void FixSequenceLength(int iLength) {
    ReadOutcome outcome = ReadSam(SamLine("len", "0", "chr1", 1, std::string(iLength, 'A'), "*"));
    ASSERT_TRUE(outcome.bHaveLength) << outcome.sLengthError;
    ASSERT_EQ(GetSequenceLength(), iLength);
}

}  // namespace

TEST(MapFileReader, FlagDecidesStrandAndRejection) {
    struct Case {
        std::string sFlag;
        bool bAccepted;
        char cStrand;
    };
    const std::vector<Case> cases = {{"0", true, '+'},  {"4", false, ' '},  {"16", true, '-'}, {"20", true, '-'},
                                     {"256", true, '+'}, {"272", true, '-'}, {"*", false, ' '}, {"260", false, ' '}};
    for (const Case& c : cases) {
        ReadOutcome outcome = ReadSam(SamLine("first", "0", "chr1", 5) + SamLine("r", c.sFlag, "chr1", 9));
        ASSERT_TRUE(outcome.bHaveLength);
        SCOPED_TRACE("FLAG " + c.sFlag);
        EXPECT_EQ(outcome.iRejected, c.bAccepted ? 0 : 1);
        ASSERT_EQ(outcome.vReads.size(), c.bAccepted ? 2u : 1u);
        if (c.bAccepted) {
            EXPECT_EQ(outcome.vReads[1].strand, c.cStrand);
        }
    }
}

TEST(MapFileReader, SequenceMustHaveRunLengthAndUpperCaseBases) {
    const std::vector<std::string> rejected = {
        SEQ36.substr(0, 35), SEQ36 + "A", "N" + SEQ36.substr(1), "a" + SEQ36.substr(1), "*"};
    for (const std::string& seq : rejected) {
        ReadOutcome outcome = ReadSam(SamLine("first", "0", "chr1", 5) + SamLine("r", "0", "chr1", 9, seq));
        SCOPED_TRACE(seq);
        EXPECT_EQ(outcome.iRejected, 1);
        EXPECT_EQ(outcome.vReads.size(), 1u);
    }
}

TEST(MapFileReader, ElevenFieldsAreReadTenAreRejected) {
    std::string sEleven = SamLine("eleven", "0", "chr1", 7);
    std::string sTen = "ten\t0\tchr1\t8\t255\t36M\t*\t0\t0\t" + SEQ36 + "\n";
    ReadOutcome outcome = ReadSam(SamLine("first", "0", "chr1", 5) + sTen + sEleven);
    EXPECT_EQ(outcome.iRejected, 1);
    ASSERT_EQ(outcome.vReads.size(), 2u);
    EXPECT_STREQ(outcome.vReads[1].readID, "eleven");
    EXPECT_EQ(outcome.vReads[1].MismatchCount(), 0);
}

TEST(MapFileReader, LineNumbersCountHeaderBlankAndRejectedLines) {
    std::string sText = "@HD\tVN:1.0\n@SQ\tSN:chr1\tLN:100\n" + SamLine("a", "0", "chr1", 5) + "\n   \t \n" +
                        SamLine("b", "4", "chr1", 6) + SamLine("c", "16", "chr1", 7);
    sText.pop_back();  // the last line has no line end and is still read
    ReadOutcome outcome = ReadSam(sText);
    ASSERT_EQ(outcome.vReads.size(), 2u);
    EXPECT_EQ(outcome.vReads[0].lineNumber, 3);
    EXPECT_EQ(outcome.vReads[1].lineNumber, 7);
    EXPECT_EQ(outcome.iRejected, 1);
}

TEST(MapFileReader, StoresFieldsAndCutsLongNames) {
    std::string sLongName(45, 'n');
    ReadOutcome outcome = ReadSam(" " + SamLine(sLongName, "16", "chromosome12", 1234));
    ASSERT_EQ(outcome.vReads.size(), 1u);
    const Read& read = outcome.vReads[0];
    EXPECT_EQ(std::string(read.readID), sLongName.substr(0, 40));
    EXPECT_STREQ(read.chromosome, "chromosom");
    EXPECT_EQ(read.position, 1234);
    EXPECT_EQ(std::string(read.quality), QUAL36);
    EXPECT_EQ(read.strand, '-');
}

TEST(MapFileReader, StarQualityGivesNulQualityCharacters) {
    ReadOutcome outcome = ReadSam(SamLine("r", "0", "chr1", 5, SEQ36, "*", "MD:Z:10A25"));
    ASSERT_EQ(outcome.vReads.size(), 1u);
    const Read& read = outcome.vReads[0];
    EXPECT_EQ(std::string(read.quality), "*");
    EXPECT_EQ(read.vMismatches[0].position, 10);
    EXPECT_EQ(read.vMismatches[0].qualityChar, '\0');
}

TEST(MapFileReader, MismatchTagIsFirstTagContainingMdZ) {
    ReadOutcome outcome = ReadSam(SamLine("r", "0", "chr1", 5, SEQ36, QUAL36, "XA:i:1\tMD:Z:3T0G31\tMD:Z:36"));
    ASSERT_EQ(outcome.vReads.size(), 1u);
    EXPECT_EQ(outcome.vReads[0].MismatchCount(), 2);
    EXPECT_EQ(outcome.vReads[0].vMismatches[0].position, 3);
    EXPECT_EQ(outcome.vReads[0].vMismatches[1].position, 4);
    EXPECT_EQ(outcome.vReads[0].vMismatches[1].qualityChar, 'E');
}

TEST(MapFileReader, ReadLengthComesFromFirstAlignmentLine) {
    ReadOutcome star = ReadSam("@HD\tVN:1.0\n" + SamLine("a", "4", "chr1", 5, "*") + SamLine("b", "0", "chr1", 6));
    ASSERT_TRUE(star.bHaveLength);
    EXPECT_EQ(GetSequenceLength(), 1);
    EXPECT_EQ(star.vReads.size(), 0u);
    EXPECT_EQ(star.iRejected, 2);

    ReadOutcome tooLong = ReadSam(SamLine("a", "0", "chr1", 5, std::string(1000, 'A'), "*"));
    EXPECT_FALSE(tooLong.bHaveLength);
    EXPECT_EQ(tooLong.sLengthError,
              "GetSequenceLenFromSAMFile: The Sequence Length value read from the file (1000), was not within the "
              "expected (0,1000) range.");
    EXPECT_EQ(GetSequenceLength(), 1);

    ReadOutcome longest = ReadSam(SamLine("a", "0", "chr1", 5, std::string(999, 'A'), "*"));
    EXPECT_TRUE(longest.bHaveLength);
    EXPECT_EQ(GetSequenceLength(), 999);
}

TEST(MapFileReader, HeaderOnlyFileHasNoSequenceLine) {
    TempDir dir;
    WriteFile(dir.File("h.sam"), "@HD\tVN:1.0\n@SQ\tSN:chr1\tLN:100\n");
    MapFileReader reader;
    reader.SetFileName(dir.File("h.sam"));
    EXPECT_TRUE(reader.OpenFile());
    std::string sError;
    EXPECT_FALSE(reader.GetSequenceLenFromSAMFile(sError));
    EXPECT_EQ(sError, "GetSequenceLenFromSAMFile: Couldn't open and read a valid Sequence line from the map file, (" +
                          dir.File("h.sam") + ").");
    EXPECT_EQ(reader.StreamError(), "");
}

TEST(MapFileReader, UnopenableFilesAreNamedWithTheReason) {
    TempDir dir;
    struct Case {
        std::string sPath;
        std::string sReason;
    };
    const std::vector<Case> cases = {{dir.File("missing.sam"), "No such file or directory"},
                                     {dir.Path(), "it is a directory"},
                                     {"", "no file name was given (MAP_FILENAME is empty)"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sPath);
        MapFileReader reader;
        reader.SetFileName(c.sPath);
        EXPECT_FALSE(reader.OpenFile());
        EXPECT_NE(reader.TestStreamFlags(), 0);
        EXPECT_EQ(reader.StreamError(), c.sReason);
        std::string sError;
        EXPECT_FALSE(reader.GetSequenceLenFromSAMFile(sError));
        EXPECT_NE(sError.find("Couldn't open and read a valid Sequence line"), std::string::npos);
        Read read;
        int iRejected = 0;
        EXPECT_FALSE(reader.Read_a_Line(read, iRejected));
    }
}

TEST(MapFileReader, ReadErrorIsRememberedNotTakenForEndOfFile) {
    // Reading this process's memory from offset 0 fails with an input/output error.
    MapFileReader reader;
    reader.SetFileName("/proc/self/mem");
    ASSERT_TRUE(reader.OpenFile());
    std::string sError;
    EXPECT_FALSE(reader.GetSequenceLenFromSAMFile(sError));
    EXPECT_EQ(reader.StreamError(), "an input/output error stopped the reading after line 0");
}

TEST(MapFileReader, TrimSpacesRemovesOnlyBlanksAndTabsAtEnds) {
    MapFileReader reader;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {" \t a b \t ", "a b"}, {" \t \t", ""}, {"", ""}, {"x\r", "x\r"}, {"\tx", "x"}};
    for (const auto& c : cases) {
        std::string s = c.first;
        reader.TrimSpaces(s);
        EXPECT_EQ(s, c.second);
    }
}

TEST(MapFileReader, SequenceLengthFromLengthEntryOfFirstLine) {
    struct Case {
        std::string sFirstLine;
        bool bOk;
        std::string sError;
    };
    const std::vector<Case> cases = {
        {"reads length=42 more\n", true, ""},
        {"\n", false, "GetSequenceLenFromFile: Blank line found in file."},
        {"reads 42\n", false, "GetSequenceLenFromFile: Couldn't find 'length=' in the file (first line)."},
        {"length=42\n", false, "GetSequenceLenFromFile: Couldn't find 'length=' in the file (first line)."},
        {"x length=abc\n", false,
         "GetSequenceLenFromFile: The Sequence Length value read from the file (0), was not within the expected "
         "(0,1000) range."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sFirstLine);
        TempDir dir;
        WriteFile(dir.File("f"), c.sFirstLine);
        MapFileReader reader;
        reader.SetFileName(dir.File("f"));
        reader.OpenFile();
        std::string sError;
        EXPECT_EQ(reader.GetSequenceLenFromFile(sError), c.bOk);
        EXPECT_EQ(sError, c.sError);
        if (c.bOk) {
            EXPECT_EQ(GetSequenceLength(), 42);
        }
    }
    MapFileReader unopened;
    unopened.SetFileName("/nonexistent/f");
    unopened.OpenFile();
    std::string sError;
    EXPECT_FALSE(unopened.GetSequenceLenFromFile(sError));
    EXPECT_EQ(sError, "GetSequenceLenFromFile: Couldn't open and read the map file, (/nonexistent/f).");
}

namespace {

struct MdCase {
    std::string sTag;
    char cStrand;
    int iResult;
    std::vector<int> vPositions;  // stored offsets; their quality characters are QUAL36[offset]
    std::string sStdout;
};

const char* const TOO_MANY =
    "ParseMismatchString: Warning: The current number of mismatches is: (4), which exceeds the designated maximum "
    "number (3) of mismatches allowed.\n"
    "ParseMismatchString: No information will be extracted from this entry. Returning -1.\n";

std::string LengthWarning(const std::string& sTag, int iTotal) {
    return "ParseMismatchString: for Read of line number: 7 in SAM file: Warning: the length found in the mismatch "
           "string " +
           sTag + " (" + std::to_string(iTotal) + " ), is not equal to the Sequence Length (36).\n";
}

std::string NegativeWarning(const std::string& sTag) {
    return "ParseMismatchString: for Read of line number: 7 in SAM file: Warning: the mismatch string " + sTag +
           " holds a negative count; no mismatches are taken from it.\n";
}

}  // namespace

TEST(MapFileReader, ParsesMismatchTags) {
    FixSequenceLength(36);
    const std::vector<MdCase> cases = {
        {"", '+', 0, {}, ""},
        {"MD:Z:36", '+', 0, {}, ""},
        {"MD:Z:10A25", '+', 1, {10}, ""},
        {"MD:Z:10A25", '-', 1, {10}, ""},
        {"MD:Z:0T35", '+', 1, {0}, ""},
        {"MD:Z:5A0C29", '+', 2, {5, 6}, ""},
        {"MD:Z:3T0G31", '+', 2, {3, 4}, ""},
        {"MD:Z:0A0C0G33", '+', 3, {0, 1, 2}, ""},
        {"MD:Z:35A0", '+', 1, {35}, ""},
        {"MD:Z:1A1C1G1T28", '+', -1, {}, TOO_MANY},
        {"MD:Z:10N25", '+', -1, {}, LengthWarning("MD:Z:10N25", 10)},
        {"MD:Z:10^AC26", '+', -1, {}, LengthWarning("MD:Z:10^AC26", 38)},
        {"MD:Z:10A25", '*', -1, {},
         "ParseMismatchString: Function input error.  Strand can only be '+' or '-'. current strand: (*).\n"},
        {"MD:Z", '+', -1, {},
         "ParseMismatchString: for Read of line number: 7 in SAM file: Warning: the mismatch field MD:Z is too "
         "short to hold a mismatch string; no mismatches are taken from it.\n"},
        {"MD:Z:5A-1C30", '+', -1, {}, NegativeWarning("MD:Z:5A-1C30")},
        {"MD:Z:-1A36", '+', -1, {}, NegativeWarning("MD:Z:-1A36")},
    };
    MapFileReader reader;
    for (const MdCase& c : cases) {
        SCOPED_TRACE(c.sTag + " strand " + c.cStrand);
        Read read;
        std::strcpy(read.quality, QUAL36.c_str());
        read.lineNumber = 7;
        read.vMismatches[2] = ReadMismatch(30, 'x');  // left over from an earlier line
        testing::internal::CaptureStdout();
        int iResult = reader.ParseMismatchString(read, c.cStrand, c.sTag);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.sStdout);
        EXPECT_EQ(iResult, c.iResult);
        ASSERT_EQ(read.MismatchCount(), static_cast<int>(c.vPositions.size()));
        for (std::size_t i = 0; i < 3; ++i) {
            if (i < c.vPositions.size()) {
                EXPECT_EQ(read.vMismatches[i].position, c.vPositions[i]);
                EXPECT_EQ(read.vMismatches[i].qualityChar, QUAL36[c.vPositions[i]]);
            } else {
                EXPECT_EQ(read.vMismatches[i].position, -1);
                EXPECT_EQ(read.vMismatches[i].qualityChar, ' ');
            }
        }
    }
}

TEST(MapFileReader, MismatchOffsetsStayInsideQualityField) {
    MapFileReader reader;
    FixSequenceLength(150);
    Read read;
    std::memset(read.quality, 'q', sizeof(read.quality));
    read.quality[120] = 'z';
    read.lineNumber = 3;

    testing::internal::CaptureStdout();
    EXPECT_EQ(reader.ParseMismatchString(read, '+', "MD:Z:130A19"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ParseMismatchString: warning: mismatch position (131), exceeds the range of Sequence Length (0-150); "
              "it will be ignored. \n"
              "ParseMismatchString: now proceeding to next item in the mismatch list.\n");
    EXPECT_EQ(read.MismatchCount(), 0);

    // Offset 120 is the last byte of the field; the later mismatch falls outside it.
    testing::internal::CaptureStdout();
    EXPECT_EQ(reader.ParseMismatchString(read, '+', "MD:Z:120A5C23"), 2);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("mismatch position (127)"), std::string::npos);
    EXPECT_EQ(read.MismatchCount(), 1);
    EXPECT_EQ(read.vMismatches[0].position, 120);
    EXPECT_EQ(read.vMismatches[0].qualityChar, 'z');
}
