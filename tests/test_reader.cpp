// Reading the SAM file: each line, the reads' texts and refusals, and the multiread containers.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <utility>

#include "Logger.h"
#include "MemoryLineSource.h"
#include "MapFileReader.h"
#include "MismatchTag.h"
#include "MultiReadCollectionMgr.h"
#include "PlainLineSource.h"
#include "ReadIdSet.h"
#include "TestHelpers.h"
#include "UniqueReads.h"

namespace {

const std::string SEQ36 = "ACGTACGTACGTACGTACGTACGTACGTACGTACGT";
const std::string QUAL36 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij";  // its character tells the offset

// A SAM line whose CIGAR, unless given, aligns every base of SEQ (36 for SEQ "*").
std::string SamLine(const std::string& name, const std::string& flag, const std::string& sSeq = SEQ36,
                    const std::string& sQual = QUAL36, const std::string& sTags = "MD:Z:36",
                    const std::string& sRef = "c1", const std::string& sPos = "1234", std::string sCigar = "") {
    if (sCigar.empty()) sCigar = std::to_string(sSeq == "*" ? 36 : sSeq.size()) + "M";
    return name + "\t" + flag + "\t" + sRef + "\t" + sPos + "\t255\t" + sCigar + "\t*\t0\t0\t" + sSeq + "\t" + sQual +
           (sTags.empty() ? "" : "\t" + sTags) + "\n";
}

// What the reader made of a file: each accepted Read as "line strand name ref pos quality
// [offset,char]...", the rejections, the warnings it printed, and the error that stopped it.
struct ReadOutcome {
    std::vector<std::string> vReads;
    LineRejections rejections;
    int iRejected = 0;
    std::string sWarnings, sError;
};

ReadOutcome ReadLines(LineSource& source, int iThreads, std::size_t iBlockBytes) {
    static const TempDir logDir;  // the warnings also go to the log, which outlives each file read
    static const bool bLog = GetLogger()->CreateOutFile(logDir.File("test.log"));
    EXPECT_TRUE(bLog);
    MapFileReader reader(source, "in.sam", iThreads, iBlockBytes);
    ReadOutcome outcome;
    testing::internal::CaptureStderr();
    outcome.sError = ErrorOf<InputError>([&] {
        for (Read read; reader.Read_a_Line(read, outcome.iRejected);) {
            std::string s = std::to_string(read.lineNumber) + " " + read.strand + " " + read.readID + " " +
                            read.chromosome + " " + std::to_string(read.position) + " " + read.quality + " ";
            for (int i = 0; i < read.MismatchCount(); ++i)
                s += "[" + std::to_string(read.Mismatch(i).position) + "," + read.Mismatch(i).qualityChar + "]";
            outcome.vReads.push_back(s);
        }
        reader.LogSuppressedWarnings();
    });
    outcome.sWarnings = testing::internal::GetCapturedStderr();
    outcome.rejections = reader.Rejections();
    return outcome;
}

// Reads on one thread, and checks that parsing ahead on several threads gives just the same, in
// blocks of one line, of a few lines, and of the usual size (which holds a small file whole).
template <class MakeSource>
ReadOutcome ReadOnEveryThreadCount(MakeSource makeSource) {
    const auto pSource = makeSource();
    const ReadOutcome outcome = ReadLines(*pSource, 1, PARSED_BLOCK_BYTES);
    for (const auto& [iThreads, iBlockBytes] : {std::pair<int, std::size_t>{2, 1}, {4, 300}, {3, PARSED_BLOCK_BYTES}}) {
        SCOPED_TRACE(std::to_string(iThreads) + " threads, blocks of " + std::to_string(iBlockBytes) + " bytes");
        const auto pAgain = makeSource();
        const ReadOutcome parallel = ReadLines(*pAgain, iThreads, iBlockBytes);
        EXPECT_EQ(parallel.vReads, outcome.vReads);
        EXPECT_EQ(parallel.iRejected, outcome.iRejected);
        EXPECT_EQ(parallel.sWarnings, outcome.sWarnings);
        EXPECT_EQ(parallel.sError, outcome.sError);
        for (int i = 0; i < REJECT_REASON_COUNT; ++i) {
            EXPECT_EQ(parallel.rejections.aiCount[i], outcome.rejections.aiCount[i]) << i;
            EXPECT_EQ(parallel.rejections.aiFirstLine[i], outcome.rejections.aiFirstLine[i]) << i;
        }
    }
    return outcome;
}

ReadOutcome ReadSam(const std::string& samText) {
    TempDir dir;
    WriteFile(dir.File("in.sam"), samText);
    return ReadOnEveryThreadCount([&] { return std::make_unique<PlainLineSource>(dir.File("in.sam")); });
}

std::string Line(const std::string& sName, const std::string& sFlag, int iPosition, const std::string& sTags) {
    return SamLine(sName, sFlag, SEQ36, QUAL36, sTags, "chr1", std::to_string(iPosition));
}

// The line numbers of the unique reads ("1:line" each, in line order), then those in the
// containers, "N:lines" per MultiRead; checks that the kept lines hold just these, in line order.
std::string Containers(MultiReadCollectionMgr& collections) {
    std::string s;
    KeptLines::Cursor cursor(collections.Kept());
    int64_t iLine = 0, iPrevious = 0;
    const Read* pLine = nullptr;
    while (cursor.Next(iLine, pLine)) {
        EXPECT_LT(iPrevious, iLine);
        iPrevious = iLine;
        if (pLine == nullptr) s += (s.empty() ? "1:" : " 1:") + std::to_string(iLine);
    }
    EXPECT_EQ(static_cast<std::size_t>(collections.Kept().UniqueCount()), collections.Uniques().Size());
    std::set<const Read*> filed;
    for (int k = 2; k <= collections.LargestAlignmentCount(); ++k)
        for (const MultiRead& multiRead : collections.Container(k))
            for (int i = 0; i < multiRead.Size(); ++i) {
                const Read& read = multiRead.Reads(i);
                s += (i ? "," : (s.empty() ? "" : " ") + std::to_string(k) + ":") + std::to_string(read.lineNumber);
                filed.insert(&read);
            }
    const LineIndex& index = collections.Kept().MultireadLines();
    EXPECT_EQ(std::set<const Read*>(index.begin(), index.end()), filed);
    return s;
}

std::string Reversed(std::string s) { return std::string(s.rbegin(), s.rend()); }

std::string Bases(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "ACGT"[i % 4];
    return s;
}

}  // namespace

// One line after a good one: accepted (with its mismatches and strand), or rejected for its reason.
TEST(MapFileReader, AcceptsLinesAndParsesMismatchTags) {
    auto Tagged = [](const std::string& sTags) { return SamLine("r", "0", SEQ36, QUAL36, sTags); };
    const std::string sLine2 = "ParseMismatchString: for Read of line number: 2 in SAM file: Warning: the ";
    const std::string sLength = "), is not equal to the number of aligned bases (36).\n";
    using R = RejectReason;
    struct Case { std::string sLine; std::string sRead; R reason = R::TooFewFields; std::string sWarning = ""; };
    const std::vector<Case> cases = {  // sRead empty: the line is rejected for reason
        {SamLine("r", "0"), "+ "}, {SamLine("r", "16"), "- "}, {SamLine("r", "20"), "- "}, {SamLine("r", "256"), "+ "},
        {SamLine("r", "4"), "", R::Unmapped}, {SamLine("r", "260"), "", R::Unmapped},
        {SamLine("r", "*"), "", R::BadFlag}, {SamLine("r", "65536"), "", R::BadFlag},
        {SamLine("r", "0x10"), "", R::BadFlag}, {SamLine("r", "-1"), "", R::BadFlag},
        {SamLine("r", "0", SEQ36, QUAL36, "MD:Z:36", "c1", "2147483647"), "+ "},
        {SamLine("r", "0", SEQ36, QUAL36, "MD:Z:36", "c1", "2147483648"), "", R::BadPosition},
        {SamLine("r", "0", SEQ36, QUAL36, "MD:Z:36", "c1", "12x"), "", R::BadPosition},
        {SamLine("r", "0", SEQ36.substr(1), QUAL36.substr(1), "MD:Z:36", "c1", "1", "36M"), "", R::CigarOtherLength},
        {SamLine("r", "0", SEQ36 + "A", QUAL36 + "k", "MD:Z:36", "c1", "1", "36M"), "", R::CigarOtherLength},
        {SamLine("r", "0", "N" + SEQ36.substr(1)), "", R::NotAcgt}, {SamLine("r", "0", "a" + SEQ36.substr(1)), "", R::NotAcgt},
        {SamLine("r", "0", "*"), "", R::NoSequence}, {"ten\t0\tchr1\t8\t255\t36M\t*\t0\t0\t" + SEQ36 + "\n", ""},
        {"r\t0\tc1\t1\t2\t3\t4\t5\t6\t" + SEQ36 + "\t" + QUAL36 + "\tMD:Z:3" + '\0' + "3\n", "", R::NulByte},
        {Tagged(""), "", R::NoMdTag}, {Tagged("XA:i:1\tMD:Z:3T0G31\tMD:Z:36"), "+ [3,D][4,E]"},
        {Tagged("MD:Z:10A25"), "+ [10,K]"}, {SamLine("r", "0", SEQ36, "*", "MD:Z:10A25"), "", R::NoSequence},
        {SamLine("r", "0", SEQ36, QUAL36.substr(1), "MD:Z:10A25"), "", R::OtherQualityLength},
        {SamLine("r", "16", SEQ36, QUAL36, "MD:Z:10A25"), "- [10,K]"}, {Tagged("MD:Z:35A0"), "+ [35,j]"},
        {Tagged("MD:Z:10N25"), "", R::UnreadableMdTag,
         sLine2 + "length found in the mismatch string MD:Z:10N25 (10 " + sLength},
        {Tagged("MD:Z:10^AC24"), "", R::UnreadableMdTag,  // a deletion that clipping makes up for
         sLine2 + "mismatch string MD:Z:10^AC24 holds a deletion (^); no mismatches are taken from it.\n"},
        {Tagged("MD:Z"), "", R::UnreadableMdTag,
         sLine2 + "mismatch field MD:Z is too short to hold a mismatch string; no mismatches are taken from it.\n"},
        {Tagged("MD:Z:-1A36"), "", R::UnreadableMdTag,
         sLine2 + "mismatch string MD:Z:-1A36 holds a negative count; no mismatches are taken from it.\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sLine);
        ReadOutcome outcome = ReadSam(SamLine("first", "0", SEQ36, QUAL36, "MD:Z:0A0C0G33") + c.sLine);
        EXPECT_EQ(outcome.sWarnings, c.sWarning);
        ASSERT_EQ(outcome.vReads.size(), c.sRead.empty() ? 1u : 2u);
        EXPECT_EQ(outcome.vReads[0], "1 + first c1 1234 " + QUAL36 + " [0,A][1,B][2,C]");
        EXPECT_EQ(outcome.iRejected, c.sRead.empty() ? 1 : 0);
        if (c.sRead.empty()) {
            EXPECT_EQ(outcome.rejections.Count(c.reason), 1) << DescribeRejectReason(c.reason);
            EXPECT_EQ(outcome.rejections.aiFirstLine[static_cast<int>(c.reason)], 2);
            continue;
        }
        const std::string& sRead = outcome.vReads[1];
        EXPECT_EQ(sRead.substr(2, 2) + sRead.substr(sRead.rfind(' ') + 1), c.sRead);
    }
}

// The strand, position and mismatches of an accepted line as ReadSam shows it.
std::string PlaceAndMismatches(const std::string& sRead) {
    std::istringstream in(sRead);
    std::string sLine, sStrand, sName, sRef, sPos, sQuality, sMismatches;
    in >> sLine >> sStrand >> sName >> sRef >> sPos >> sQuality >> sMismatches;
    return sStrand + " " + sPos + " " + sMismatches;
}

// "[k,c]" for each read position k, c its character in sQuality.
std::string Marks(const std::vector<int>& vPositions, const std::string& sQuality = QUAL36) {
    std::string s;
    for (int k : vPositions) s += "[" + std::to_string(k) + "," + sQuality[k] + "]";
    return s;
}

std::vector<int> Span(int iFirst, int iEnd) {
    std::vector<int> v;
    for (int k = iFirst; k < iEnd; ++k) v.push_back(k);
    return v;
}

// A line of read r at POS 2000 after r's first line (36 bases): accepted as the ungapped
// alignment of the whole read, clipped bases mismatches at their read positions, or rejected
// for what its CIGAR or FLAG says.
TEST(MapFileReader, EveryCigarForm) {
    using R = RejectReason;
    const std::vector<int> vEnds = {0, 1, 2, 3, 4, 31, 32, 33, 34, 35};
    std::vector<int> vEndsAndMd = vEnds;
    vEndsAndMd.insert(vEndsAndMd.begin() + 5, 15);
    const std::string sRev = Reversed(QUAL36);
    struct Case { std::string sFlag, sSeq, sQual, sMd, sCigar, sPos; std::string sRead; R reason = R::TooFewFields; };
    const std::vector<Case> cases = {  // sRead empty: rejected for reason
        {"16", SEQ36, QUAL36, "26", "5S26M5S", "2000", "- 1995 " + Marks(vEnds)},
        {"0", SEQ36, QUAL36, "0A25", "5S26M5S", "2000", "+ 1995 " + Marks({0, 1, 2, 3, 4, 5, 31, 32, 33, 34, 35})},
        {"256", "*", "*", "10A15", "3H2S26M5S", "2000", "+ 1995 " + Marks(vEndsAndMd)},
        {"272", "*", "*", "31", "5H31M", "2000", "- 1995 " + Marks(Span(0, 5), sRev)},  // SEQ orientation
        {"256", "*", "*", "31", "31M5H", "2000", "+ 2000 " + Marks(Span(31, 36))},
        {"0", SEQ36, QUAL36, "31", "5S31M", "1", "+ -4 " + Marks(Span(0, 5))},
        {"0", SEQ36, QUAL36, "36", "*", "2000", "+ 2000 "}, {"0", SEQ36, QUAL36, "36", "6=1X29M", "2000", "+ 2000 "},
        {"0", SEQ36, QUAL36, "0A0C0G0T0A0C30", "36M", "2000", "+ 2000 " + Marks(Span(0, 6))},
        {"0", SEQ36.substr(5), QUAL36.substr(5), "31", "5H31M", "2000", "", R::OtherLength},
        {"256", "*", "*", "36", "5H36M", "2000", "", R::CigarOtherLength},
        {"0", SEQ36, QUAL36, "31", "5H31M", "2000", "", R::CigarOtherLength},  // SEQ lacks hard-clipped bases
        {"0", SEQ36, QUAL36, "30", "30M", "2000", "", R::CigarOtherLength},
        {"0", SEQ36, QUAL36, "36", "5S26M5S", "2000", "", R::UnreadableMdTag},
        {"0", SEQ36, QUAL36, "36", "10M2I24M", "2000", "", R::InsertionOrDeletion},
        {"0", SEQ36, QUAL36, "36", "10M2D26M", "2000", "", R::InsertionOrDeletion},
        {"0", SEQ36, QUAL36, "36", "10M500N26M", "2000", "", R::Spliced},
        {"0", SEQ36, QUAL36, "36", "10M2I500N24M", "2000", "", R::Spliced},
        {"0", SEQ36, QUAL36, "36", "2P36M", "2000", "", R::Padded},
        {"0", SEQ36, QUAL36, "36", "10M5S21M", "2000", "", R::MalformedCigar},
        {"0", SEQ36, QUAL36, "36", "5S2H29M", "2000", "", R::MalformedCigar},
        {"0", SEQ36, QUAL36, "36", "36S", "2000", "", R::MalformedCigar},
        {"0", SEQ36, QUAL36, "36", "36Q", "2000", "", R::MalformedCigar},
        {"0", SEQ36, QUAL36, "36", "M36", "2000", "", R::MalformedCigar},
        {"0", SEQ36, QUAL36, "36", "0M36M", "2000", "", R::MalformedCigar},
        {"2048", SEQ36, QUAL36, "36", "36M", "2000", "", R::Supplementary},
        {"2064", "*", "*", "31", "5H31M", "2000", "", R::Supplementary}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sCigar + " " + c.sFlag);
        ReadOutcome outcome = ReadSam(SamLine("r", "0") + SamLine("r", c.sFlag, c.sSeq, c.sQual, "MD:Z:" + c.sMd, "c1",
                                                                   c.sPos, c.sCigar));
        ASSERT_EQ(outcome.vReads.size(), c.sRead.empty() ? 1u : 2u);
        if (!c.sRead.empty()) {
            EXPECT_EQ(PlaceAndMismatches(outcome.vReads[1]), c.sRead);
            continue;
        }
        EXPECT_EQ(outcome.rejections.Count(c.reason), 1) << DescribeRejectReason(c.reason);
        if (c.reason == R::UnreadableMdTag) {  // the warning names the aligned bases, not the read's
            EXPECT_NE(outcome.sWarnings.find("is not equal to the number of aligned bases (26)"), std::string::npos);
        }
    }
}

// Each read has the length of its first line with a sequence, whichever read comes first; a line
// of another length is rejected, and so is every line of a read longer than 999 bases.
TEST(MapFileReader, EachReadHasItsOwnLength) {
    auto ReadLine = [&](const std::string& sName, const std::string& sFlag, int n, int iPos) {
        const bool bStar = n == 0;
        return SamLine(sName, sFlag, bStar ? "*" : Bases(n), bStar ? "*" : std::string(n, 'I'),
                       "MD:Z:" + std::to_string(bStar ? 36 : n), "c1", std::to_string(iPos), bStar ? "36M" : "");
    };
    const std::vector<std::string> vReads = {
        ReadLine("a", "0", 20, 100) + SamLine("a", "256", "*", "*", "MD:Z:20", "c1", "200", "20M") +
            ReadLine("a", "256", 36, 300),
        ReadLine("b", "256", 0, 400) + ReadLine("b", "0", 36, 500) + ReadLine("b", "256", 20, 600),
        ReadLine("c", "0", 150, 700), ReadLine("d", "0", 1000, 800)};
    ReadOutcome forward = ReadSam(vReads[0] + vReads[1] + vReads[2] + vReads[3]);
    ReadOutcome backward = ReadSam(vReads[3] + vReads[2] + vReads[1] + vReads[0]);
    auto Accepted = [](const ReadOutcome& outcome) {
        std::multiset<std::string> vLines;  // without line numbers
        for (const std::string& s : outcome.vReads) vLines.insert(s.substr(s.find(' ')));
        return vLines;
    };
    EXPECT_EQ(Accepted(forward).size(), 5u);
    EXPECT_EQ(Accepted(forward), Accepted(backward));
    for (const ReadOutcome* pOutcome : {&forward, &backward}) {
        EXPECT_EQ(pOutcome->rejections.Count(RejectReason::OtherLength), 2);
        EXPECT_EQ(pOutcome->rejections.Count(RejectReason::ReadTooLong), 1);
    }
}

// The MD:Z tag alone, for 36 aligned bases: "problem count described: offsets". Counts are read
// as atoi reads them; a problem found first hides the others; any number of mismatches is read.
TEST(MismatchTag, OffsetsOrTheProblem) {
    const std::pair<const char*, const char*> cases[] = {
        {"MD:Z:36", "0 0 36:"}, {"MD:Z:036", "0 0 36:"}, {"MD:Z:0A0C0G33", "0 3 36: 0 1 2"},
        {"MD:Z:35A0", "0 1 36: 35"}, {"MD:Z: 5A+30", "0 1 36: 5"}, {"", "0 0 0:"}, {"MD:Z", "1 0 0:"},
        {"MD:Z:-1A36", "2 1 36:"}, {"MD:Z:40", "3 0 40:"}, {"MD:Z:10N25", "3 0 10:"},
        {"MD:Z:1A1C1G1T28", "0 4 36: 1 3 5 7"}, {"MD:Z:1A1C1G1T1A", "3 5 10:"}, {"MD:Z:-1^A", "4 0 0:"},
        {"MD:Z:0A0C0G0T0A0C0G0T0A0C0G0T24", "0 12 36: 0 1 2 3 4 5 6 7 8 9 10 11"}, {"MD:Z:99A0", "3 1 100:"}};
    std::vector<int> vOffsets = {99};  // emptied by every reading
    for (const auto& c : cases) {
        const MismatchTagReading reading = ReadMismatchTag(c.first, 36, vOffsets);
        std::string s = std::to_string(static_cast<int>(reading.problem)) + " " +
                        std::to_string(reading.iMismatchCount) + " " + std::to_string(reading.iDescribedLength) + ":";
        for (int iOffset : vOffsets) s += " " + std::to_string(iOffset);
        EXPECT_EQ(s, c.second) << c.first;
    }
}

// Names and qualities are kept in full, whatever their length, and lines are numbered from the
// first, header and empty lines included; the last line needs no line end.
TEST(MapFileReader, ReadsWholeFilesWithFullTexts) {
    const std::string sLongName(254, 'n'), sLongReference = "scaffold_0123456789";
    std::string sText = "@HD\tVN:1.0\n@SQ\tSN:c1\tLN:100\n" + SamLine(sLongName, "0", SEQ36, QUAL36, "MD:Z:36",
                        sLongReference) + "\n   \t \n" + SamLine("b", "4") + " " + SamLine("c", "16");
    sText.pop_back();
    ReadOutcome outcome = ReadSam(sText);
    EXPECT_EQ(outcome.vReads, (std::vector<std::string>{"3 + " + sLongName + " " + sLongReference + " 1234 " + QUAL36 + " ",
                                                        "7 - c c1 1234 " + QUAL36 + " "}));
    EXPECT_EQ(outcome.iRejected, 1);
    // A mismatch far along a long read keeps its offset and quality character.
    const std::string sQuality = std::string(129, 'q') + "z" + std::string(20, 'q');
    ReadOutcome wide = ReadSam(SamLine("r", "0", std::string(150, 'A'), sQuality, "MD:Z:120A8C20"));
    ASSERT_EQ(wide.vReads.size(), 1u);
    EXPECT_EQ(wide.vReads[0].substr(wide.vReads[0].rfind(' ') + 1), "[120,q][129,z]");
    EXPECT_EQ(wide.sWarnings, "");
}

// A line without SEQ or QUAL takes them from the first line of its read that has both,
// reversed (and complemented) when the two lie on different strands, even when that line
// comes later; a read none of whose lines has both is rejected.
TEST(MapFileReader, SecondaryLinesTakeSequenceAndQualityFromTheirRead) {
    const std::string sSeq = "AACCGGTTAACCGGTTAACCGGTTAACCGGTTAACG", sRevComp = "CGTTAACCGGTTAACCGGTTAACCGGTTAACCGGTT";
    const std::string sSecondaryTag = "MD:Z:1C34";  // the mismatch's quality tells which QUAL the line got
    ReadOutcome outcome = ReadSam(
        SamLine("a", "0", sSeq, QUAL36) + SamLine("a", "256", "*", "*", sSecondaryTag) +
        SamLine("a", "272", "*", "*", sSecondaryTag) + SamLine("b", "256", "*", "*", sSecondaryTag) +
        SamLine("b", "16", sRevComp, Reversed(QUAL36)) + SamLine("c", "256", "*", "*") +
        SamLine("d", "0", SEQ36, "*", "MD:Z:36") + SamLine("e", "0") +  // d: QUAL on no line
        SamLine("f", "0", sSeq, QUAL36) + SamLine("g", "4", SEQ36, Reversed(QUAL36)) +  // g: unmapped
        SamLine("f", "256", "*", "*", sSecondaryTag));
    const std::string sQualRev = Reversed(QUAL36);
    EXPECT_EQ(outcome.vReads, (std::vector<std::string>{
                                  "1 + a c1 1234 " + QUAL36 + " ", "2 + a c1 1234 " + QUAL36 + " [1,B]",
                                  "3 - a c1 1234 " + sQualRev + " [1,i]", "4 + b c1 1234 " + QUAL36 + " [1,B]",
                                  "5 - b c1 1234 " + sQualRev + " ", "8 + e c1 1234 " + QUAL36 + " ",
                                  "9 + f c1 1234 " + QUAL36 + " ", "11 + f c1 1234 " + QUAL36 + " [1,B]"}));
    EXPECT_EQ(outcome.rejections.Count(RejectReason::NoSequence), 2);
    EXPECT_EQ(outcome.rejections.aiFirstLine[static_cast<int>(RejectReason::NoSequence)], 6);
}

// More than ten warnings of one kind are counted, not printed.
TEST(MapFileReader, CapsWarnings) {
    std::string sText;
    for (int i = 0; i < 12; ++i) sText += SamLine("r" + std::to_string(i), "0", SEQ36, QUAL36, "MD:Z:40");
    ReadOutcome outcome = ReadSam(sText);
    EXPECT_EQ(outcome.rejections.Count(RejectReason::UnreadableMdTag), 12);
    const std::vector<std::string> vLines = SplitLines(outcome.sWarnings);
    ASSERT_EQ(vLines.size(), 11u);
    EXPECT_EQ(vLines.back(),
              "ParseMismatchString: 2 more warnings about mismatch strings of another length than the aligned bases "
              "were not shown (12 in all).");
}

// Parsing ahead stops nowhere else than one thread does: a failure to read, met by the blocks read
// ahead, comes after every line before it; a refusal or a rejection in an earlier line still comes
// first, whatever fails later. A read whose lines differ in length is judged by its first.
TEST(MapFileReader, ParsingAheadKeepsTheFirstFailureInLineOrder) {
    // Fails to read at line iFailAt, as a file damaged there would.
    class FailingSource : public MemoryLineSource {
    public:
        FailingSource(std::string sAll, int iFailAt_) : MemoryLineSource(std::move(sAll)), iFailAt(iFailAt_) {}
        bool NextLine(LineView& line) override {
            if (++iLine == iFailAt) throw InputError("the SAM file (in.sam) cannot be read after line " + std::to_string(iLine - 1));
            return MemoryLineSource::NextLine(line);
        }

    private:
        int iFailAt, iLine = 0;
    };
    std::string sReads;
    for (int i = 0; i < 60; ++i) sReads += SamLine("r" + std::to_string(i / 2), std::to_string(i % 2 * 256));
    const std::string sCoordinate = "@HD\tVN:1.6\tSO:coordinate\n", sShort = SamLine("r29", "256", SEQ36.substr(1), QUAL36.substr(1));
    struct Case { std::string sText; int iFailAt; std::size_t iReads; std::string sError; };
    const Case CASES[] = {
        {sReads, 0, 60, ""},
        {sReads, 55, 54, "the SAM file (in.sam) cannot be read after line 54"},
        {sCoordinate + sReads, 50, 0, "the SAM file (in.sam), line 1: the alignments are sorted by coordinate"},
        {sReads + sShort + "r30\t0\n", 0, 60, ""},  // rejected: another length, too few fields
    };
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.sText.substr(0, 20) + ", failing at line " + std::to_string(c.iFailAt));
        const ReadOutcome outcome =
            ReadOnEveryThreadCount([&] { return std::make_unique<FailingSource>(c.sText, c.iFailAt); });
        EXPECT_EQ(outcome.vReads.size(), c.iReads);
        EXPECT_EQ(outcome.sError.substr(0, c.sError.size()), c.sError);
    }
}

// The keep rules: kept alignments by container, and the drops ("reads above the limit, reads with
// too many alignments, alignment lines above best + extra: first line of each").
TEST(MultiReadCollectionMgr, KeepRules) {
    struct Case { int iMax, iExtra, iMaxAlignments; std::vector<int> vMismatchCounts; std::string sKept, sDrops; };
    const std::vector<int> vSix(6, 0), vSeven(7, 0);
    const std::vector<Case> cases = {
        {2, 1, 5, {0}, "1:1", "0 0 0"}, {2, 1, 5, {0, 1, 2}, "2:1,2", "0 0 1:3"}, {2, 1, 5, {2, 1, 0}, "2:2,3", "0 0 1:1"},
        {2, 1, 5, {3}, "", "1:1 0 0"}, {2, 1, 5, vSix, "", "0 1:1 0"}, {2, 1, 6, vSix, "6:1,2,3,4,5,6", "0 0 0"},
        {2, 1, 6, vSeven, "", "0 1:1 0"}, {2, 1, 5, {0, 0, 0, 0, 0}, "5:1,2,3,4,5", "0 0 0"},
        {2, 1, 5, {2, 0, 2, 0, 2, 2}, "2:2,4", "0 0 4:1"}, {2, 1, 5, {2, 3, 3}, "3:1,2,3", "0 0 0"},
        {2, 5, 5, {0, 3, 3, 1}, "4:1,2,3,4", "0 0 0"}, {2, 0, 5, {1, 2, 1}, "2:1,3", "0 0 1:2"},
        {2, 2, 5, {2, 4}, "2:1,2", "0 0 0"},  // no cap at 3 mismatches
        {10, 10, 5, {20, 10, 21}, "2:1,2", "0 0 1:3"}, {10, 0, 5, {11, 12}, "", "1:1 0 0"},
        {0, 2, 5, {1, 1}, "", "1:1 0 0"}, {2, 1, 100, std::vector<int>(101, 0), "", "0 1:1 0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.iMax << "+" << c.iExtra << testing::PrintToString(c.vMismatchCounts));
        MultiReadCollectionMgr collections(c.iMax, c.iExtra, c.iMaxAlignments);
        EXPECT_EQ(collections.LargestAlignmentCount(), c.iMaxAlignments);
        TmpReadContainer tmp;
        for (int iCount : c.vMismatchCounts) {  // iCount mismatches
            tmp.push_back(MakeRead("R", "c", 1, std::string(30, 'I'), Span(0, iCount)));
            tmp.back().lineNumber = static_cast<int>(tmp.size());
        }
        collections.ProcessCurrentTmpContainer(tmp);
        EXPECT_EQ(Containers(collections), c.sKept);
        std::string sDrops;
        for (int i = 0; i <= static_cast<int>(DropReason::AboveBestPlusExtra); ++i) {  // those of single-end reads
            const DropReason reason = static_cast<DropReason>(i);
            const int64_t iCount = collections.Drops().Count(reason);
            sDrops += (i ? " " : "") + std::to_string(iCount) +
                      (iCount ? ":" + std::to_string(collections.Drops().FirstLine(reason)) : "");
        }
        EXPECT_EQ(sDrops, c.sDrops);
    }
}

TEST(MultiReadCollectionMgr, GroupsConsecutiveLines) {
    // R2's rejected line 4 and unreadable line 6 do not split it; R3 is dropped, its best alignment
    // having 3 mismatches; two names that agree in their first 40 characters are two reads. R4's
    // line 14, behind another read's rejected line, has another length than its line 12: rejected.
    TempDir dir;
    ScopedChdir chdir(dir.Path());
    const std::string sLong(40, 'L');
    WriteFile("in.sam", "@HD\tVN:1.0\n" + Line("R1", "0", 10, "MD:Z:10A14T10") + Line("R2", "0", 20, "MD:Z:36") +
                            Line("R2", "4", 21, "MD:Z:36") + Line("R2", "16", 22, "MD:Z:10A25") +
                            Line("R2", "0", 23, "MD:Z:10N25") + Line("R2", "0", 24, "MD:Z:1A1C32") +
                            Line("R3", "0", 40, "MD:Z:0A0C0G33") + Line("R3", "0", 41, "MD:Z:0A0C0G33") +
                            Line(sLong + "1", "0", 50, "MD:Z:36") + Line(sLong + "2", "0", 60, "MD:Z:36") +
                            Line("R4", "0", 70, "MD:Z:36") + SamLine("X", "0", "ACGTACGTAC", "IIIIIIIIII", "MD:Z:10", "chr1", "x") +
                            SamLine("R4", "256", "ACGTACGTAC", "IIIIIIIIII", "MD:Z:10", "chr1", "80"));
    MultiReadCollectionMgr collections(2, 1);
    std::string sError;
    EXPECT_EQ(collections.BuildReadCollections("in.sam", sError), 9);
    EXPECT_EQ(Containers(collections), "1:2 1:10 1:11 1:12 2:3,5");
    EXPECT_EQ(std::make_pair(collections.Rejections().Count(RejectReason::OtherLength),
                             collections.Rejections().aiFirstLine[static_cast<int>(RejectReason::OtherLength)]),
              std::make_pair(int64_t{1}, 14));
    const KeepRuleDrops& drops = collections.Drops();  // R3 from its first line; R2's line 7 beside its best
    EXPECT_EQ(std::make_pair(drops.Count(DropReason::BestAboveLimit), drops.FirstLine(DropReason::BestAboveLimit)),
              std::make_pair(int64_t{1}, 8));
    EXPECT_EQ(std::make_pair(drops.Count(DropReason::AboveBestPlusExtra), drops.FirstLine(DropReason::AboveBestPlusExtra)),
              std::make_pair(int64_t{1}, 7));
    const Read& r2 = collections.Container(2)[0].Reads(1);
    EXPECT_EQ(std::string(r2.readID) + r2.strand + r2.chromosome + std::to_string(r2.position), "R2-chr122");
    // The alignments of multireads keep their quality text.
    EXPECT_STREQ(r2.quality, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij");
}

// Input the model cannot use is refused with the file, the line and the remedy: sorted by
// coordinate, not grouped by read, or without a single MD tag.
TEST(MultiReadCollectionMgr, RefusesUnusableFiles) {
    const struct { std::string sText, sError; } cases[] = {
        {"@HD\tVN:1.6\tSO:coordinate\n" + SamLine("a", "0"),
         "the SAM file (in.sam), line 1: the alignments are sorted by coordinate (@HD SO:coordinate), but KORVEX "
         "needs the alignments of each read on consecutive lines; group the alignments of each read first, for "
         "example with `samtools collate` or `samtools sort -n`."},
        {Line("R1", "0", 10, "MD:Z:36") + Line("R2", "0", 20, "MD:Z:36") + Line("R1", "0", 30, "MD:Z:36"),
         "the SAM file (in.sam), line 3: the read whose alignments start on line 1 appears again after other reads "
         "came between, but KORVEX needs the alignments of each read on consecutive lines; group the alignments "
         "of each read first, for example with `samtools collate` or `samtools sort -n`."},
        {Line("R1", "4", 10, "XB:i:1") + Line("R1", "0", 10, "XB:i:1") + Line("R2", "0", 20, "XB:i:1"),
         "the SAM file (in.sam), line 2: not a single alignment line has an MD:Z tag, and KORVEX reads the "
         "mismatches of each alignment from it; add MD tags, for example with `samtools calmd`."}};
    TempDir dir;
    ScopedChdir chdir(dir.Path());
    for (const auto& c : cases) {
        WriteFile("in.sam", c.sText);
        MultiReadCollectionMgr collections(2, 2);
        std::string sError;
        EXPECT_EQ(ErrorOf<InputError>([&] { collections.BuildReadCollections("in.sam", sError); }), c.sError);
    }
}

// A whole run on reads of 30, 36 and 50 bases, clipped alignments among them and a read of 7
// alignments (MAX_ALIGNMENTS=8), limits raised so that clipped bases keep their lines: the values
// of each read sum to 1, and the file with its reads in the opposite order gives every line the same values.
TEST(MultiReadCollectionMgr, ReadsInAnotherOrderScoreTheSameLines) {
    auto Alignment = [](const std::string& sName, int iFlag, const std::string& sRef, int iPos, int n,
                        const std::string& sCigar, const std::string& sMd) {
        return SamLine(sName, std::to_string(iFlag), Bases(n), std::string(n, 'F'), "MD:Z:" + sMd, sRef,
                       std::to_string(iPos), sCigar);
    };
    std::vector<std::string> vReads;
    for (int i = 0; i < 12; ++i) {  // unique reads of three lengths at distinct positions
        const int n = i % 3 == 0 ? 30 : i % 3 == 1 ? 36 : 50;
        vReads.push_back(Alignment("u" + std::to_string(i), 0, "c" + std::to_string(i % 4), 980 + 7 * i, n,
                                   std::to_string(n) + "M", i % 2 ? std::to_string(n - 11) + "A10" : std::to_string(n)));
    }
    vReads.push_back(Alignment("m36", 0, "c0", 1000, 36, "36M", "36") + Alignment("m36", 16, "c1", 1001, 36, "36M", "10A25"));
    vReads.push_back(Alignment("m50", 0, "c2", 1005, 50, "3S47M", "47") + Alignment("m50", 256, "c3", 990, 50, "50M", "50"));
    std::string sSeven;
    for (int j = 0; j < 7; ++j) sSeven += Alignment("m30", 0, "c" + std::to_string(j % 4), 1002 + j, 30, "30M", "30");
    vReads.push_back(sSeven);
    std::string sForward, sBackward;
    for (std::size_t i = 0; i < vReads.size(); ++i) {
        sForward += vReads[i];
        sBackward += vReads[vReads.size() - 1 - i];
    }
    auto Values = [](const std::string& sSam) {  // line text -> its two values, and the sums per read
        TempDir dir;
        WriteFile(dir.File("in.sam"), sSam);
        const ProgramResult result = RunKorvex(dir.Path(), {"MAP_FILENAME=in.sam", "STRANDNESS_OPTION=OFF",
            "EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS=5", "MAX_ALIGNMENTS=8", "TOTAL_ITERATIONS=60",
            "BURNIN_ITERATIONS=10"});
        EXPECT_EQ(result.iExitStatus, 0) << result.sStderr;
        std::map<std::string, std::string> values;
        std::map<std::string, double> sums;
        for (std::string sLine : SplitLines(ReadFile(dir.File("in.sam+")))) {
            if (sLine[0] == '@') continue;
            sLine.pop_back();  // each line ends with a tab
            const std::size_t iPosterior = sLine.rfind('\t'), iShare = sLine.rfind('\t', iPosterior - 1);
            values[sLine.substr(0, iShare)] = sLine.substr(iShare + 1);
            const std::string sName = sLine.substr(0, sLine.find('\t'));
            sums[sName + " share"] += std::stod(sLine.substr(iShare + 1));
            sums[sName + " posterior"] += std::stod(sLine.substr(iPosterior + 1));
        }
        for (const auto& sum : sums) EXPECT_NEAR(sum.second, 1.0, 1e-5) << sum.first;
        EXPECT_NE(ReadFile(dir.File("Logger.out")).find("map_7    now contains (1) items."), std::string::npos);
        return values;
    };
    const std::map<std::string, std::string> forward = Values(sForward);
    EXPECT_EQ(forward.size(), 23u);
    EXPECT_EQ(Values(sBackward), forward);
}

// Unique reads sort by position across the int range and across ranges of 65536 positions,
// equal positions in filing order; each keeps its own mismatches (any number), reference and
// fragment strand (mate 2's turned).
TEST(UniqueReads, SortByPositionKeepsEachReadsFields) {
    const struct { int iPosition; const char* sChromosome; char cStrand; int8_t iMate; std::vector<int> vMismatches; } cases[] = {
        {65536, "chr1", '+', 0, {1}},  {INT_MAX, "chr2", '-', 0, {2}}, {-998, "chr1", '+', 0, {3, 30}},
        {65535, "chrM", '+', 2, {4}},  {0, "chr1", '-', 1, {5, 6, 7}}, {65536, "chr2", '-', 2, {}},
        {-65537, "chr1", '+', 0, {8}}, {65536, "chr1", '+', 0, {9}},   {INT_MIN, "chr1", '-', 2, {10}}};
    const std::string sQuality = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    UniqueReads uniques;
    for (const auto& c : cases) {
        Read read = MakeRead("u", c.sChromosome, c.iPosition, sQuality, c.vMismatches);
        read.strand = c.cStrand;
        read.iMate = c.iMate;
        uniques.Add(read);
    }
    uniques.SortByPosition();
    std::string s;
    for (std::size_t i = 0; i < uniques.Size(); ++i) {
        const UniqueRead& u = uniques[i];
        s += std::to_string(u.position) + " " + uniques.ReferenceOf(u) + UniqueReads::FragmentStrandOf(u);
        for (int j = 0; j < u.iMismatchCount; ++j) s += std::string(1, ' ') + uniques.MismatchesOf(u)[j].qualityChar;
        s += u.iLength == 36 ? "; " : " (length?); ";
    }
    EXPECT_EQ(s, "-2147483648 chr1+ A; -65537 chr1+ 8; -998 chr1+ 3 U; 0 chr1- 5 6 7; 65535 chrM- 4; "
                 "65536 chr1+ 1; 65536 chr2+; 65536 chr1+ 9; 2147483647 chr2- 2; ");
    EXPECT_EQ(uniques.LongestLength(), 36);
}

// Many unique reads sort into the same order on any number of threads.
TEST(UniqueReads, SortTheSameOnAnyNumberOfThreads) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> position(-300000, 300000), mismatch(0, 3);
    std::vector<std::string> vOrders;
    for (int iThreads : {1, 2, 5}) {
        random.seed(7);
        UniqueReads uniques;
        for (int i = 0; i < 20000; ++i) {
            const std::string sQuality(4, static_cast<char>('A' + i % 26));  // tells the reads apart
            uniques.Add(MakeRead("u", i % 3 ? "chr1" : "chr2", position(random), sQuality,
                                 std::vector<int>(mismatch(random), i % 4)));
        }
        uniques.SortByPosition(iThreads);
        std::string s;
        for (std::size_t i = 0; i < uniques.Size(); ++i) {
            const UniqueRead& u = uniques[i];
            s += std::to_string(u.position) + uniques.ReferenceOf(u) + ",";
            for (int j = 0; j < u.iMismatchCount; ++j) s += uniques.MismatchesOf(u)[j].qualityChar;
            s += ";";
        }
        vOrders.push_back(s);
    }
    EXPECT_EQ(vOrders[1], vOrders[0]);
    EXPECT_EQ(vOrders[2], vOrders[0]);
}

// A read ID that starts a second group is found among many, the earliest such line first, on
// any number of threads.
TEST(ReadIdSet, FindsTheFirstReappearance) {
    for (int iThreads : {1, 3})
    for (bool bReappears : {false, true}) {
        SCOPED_TRACE(std::to_string(iThreads) + " threads");
        ReadIdSet ids;
        int iLine = 0;
        for (int i = 0; i < 5000; ++i) ids.Add("read" + std::to_string(i), ++iLine);
        if (bReappears)
            for (int i : {4000, 77, 4000}) ids.Add("read" + std::to_string(i), ++iLine);
        int iFirstLine = 0;
        EXPECT_EQ(ids.FirstReappearance(iFirstLine, iThreads), bReappears ? 5001 : 0);
        EXPECT_EQ(iFirstLine, bReappears ? 4001 : 0);
    }
}
