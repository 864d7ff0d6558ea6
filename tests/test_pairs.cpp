// Pair reads: which mate lines form pair alignments, how a pair read is filed, and the values its
// lines receive in a whole run.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

#include "Logger.h"
#include "MultiReadCollectionMgr.h"
#include "PairAlignments.h"
#include "TestHelpers.h"

namespace {

// A mate line on sRef at strand cStrand whose aligned bases are iFirst to iFirst + iCount - 1.
struct Mate {
    const char* sRef;
    char cStrand;
    long long iFirst, iCount;
    int iMismatches;
};

MateLine MakeMate(const Mate& mate) {
    static std::deque<Read> vReads;  // the lines outlive every case
    Read& read = vReads.emplace_back(MakeRead("p", mate.sRef, static_cast<int>(mate.iFirst),
                                              std::string(static_cast<std::size_t>(mate.iCount), 'I'),
                                              std::vector<int>(static_cast<std::size_t>(mate.iMismatches), 0)));
    read.strand = mate.cStrand;
    return MateLine{&read, AlignedSpan{mate.iFirst, mate.iCount}, 0};
}

// A SAM line of a pair read: 36 bases (or sSeq) aligned at iPos on chr1, with MD tag sMd.
std::string PairLine(const std::string& sName, int iFlag, int iPos, const std::string& sSeq = std::string(36, 'A'),
                     const std::string& sMd = "", const std::string& sCigar = "") {
    const std::size_t iLength = sSeq == "*" ? 30 : sSeq.size();
    const std::string sQual = sSeq == "*" ? "*" : std::string(iLength, 'I');
    return sName + "\t" + std::to_string(iFlag) + "\tchr1\t" + std::to_string(iPos) + "\t255\t" +
           (sCigar.empty() ? std::to_string(iLength) + "M" : sCigar) + "\t*\t0\t0\t" + sSeq + "\t" + sQual +
           "\tMD:Z:" + (sMd.empty() ? std::to_string(iLength) : sMd) + "\n";
}

// FLAG of mate 1 or 2 on + or -.
int Flag(int iMate, char cStrand) { return 1 | (iMate == 1 ? 0x40 : 0x80) | (cStrand == '-' ? 0x10 : 0); }

// The MultiReads as "N:" and their lines ("a+b" for a pair alignment joining lines a and b),
// sorted, since the containers of multireads are shuffled.
std::string Filed(MultiReadCollectionMgr& collections) {
    std::set<std::string> vFiled;
    KeptLines::Cursor cursor(collections.Kept());
    int64_t iLine = 0;
    const Read* pRead = nullptr;
    while (cursor.Next(iLine, pRead))
        if (pRead == nullptr) vFiled.insert("1:" + std::to_string(iLine));
    for (int k = 2; k <= collections.LargestAlignmentCount(); ++k)
        for (const MultiRead& m : collections.Container(k)) {
            std::string s = std::to_string(k) + ":";
            for (int j = 0; j < k; ++j)
                s += (j ? "," : "") + (m.IsPair() ? std::to_string(m.pJoins[j].pFirst->lineNumber) + "+" +
                                                         std::to_string(m.pJoins[j].pSecond->lineNumber)
                                                   : std::to_string(m.Reads(j).lineNumber));
            vFiled.insert(s);
        }
    std::string s;
    for (const std::string& sOne : vFiled) s += sOne + " ";
    return s;
}

}  // namespace

// Same reference, opposite strands, the forward mate's first aligned base not after the reverse
// one's, the fragment (first to last aligned base of the two) within the limit; either mate may be forward.
TEST(PairAlignments, FormationRules) {
    const struct { Mate first, second; int iMax; bool bPair; } cases[] = {
        {{"c1", '+', 100, 50, 0}, {"c1", '-', 300, 50, 0}, 1000, true},
        {{"c1", '-', 300, 50, 0}, {"c1", '+', 100, 50, 0}, 1000, true},   // mate 2 forward
        {{"c1", '+', 100, 50, 0}, {"c1", '+', 300, 50, 0}, 1000, false},  // same strand
        {{"c1", '+', 100, 50, 0}, {"c2", '-', 300, 50, 0}, 1000, false},  // another reference
        {{"c1", '-', 100, 50, 0}, {"c1", '+', 300, 50, 0}, 1000, false},  // reverse mate before the forward one
        {{"c1", '+', 100, 50, 0}, {"c1", '-', 100, 50, 0}, 1000, true},   // the same first base
        {{"c1", '+', 100, 50, 0}, {"c1", '-', 120, 20, 0}, 1000, true},   // the reverse mate inside the forward one
        {{"c1", '+', 100, 50, 0}, {"c1", '-', 301, 50, 0}, 251, true},    // a fragment of 251 bases
        {{"c1", '+', 100, 50, 0}, {"c1", '-', 301, 50, 0}, 250, false}};
    for (const auto& c : cases)
        EXPECT_EQ(FormsPair(MakeMate(c.first), MakeMate(c.second), c.iMax), c.bPair)
            << c.first.cStrand << c.first.iFirst << " " << c.second.cStrand << c.second.iFirst << " " << c.iMax;

    // Every combination that forms a pair, by mate 1's line then mate 2's; the larger mate's mismatches count.
    const std::vector<MateLine> vFirst = {MakeMate({"c1", '+', 100, 50, 1}), MakeMate({"c1", '+', 5000, 50, 0})};
    const std::vector<MateLine> vSecond = {MakeMate({"c1", '-', 5200, 50, 2}), MakeMate({"c1", '-', 300, 50, 0}),
                                           MakeMate({"c1", '-', 5100, 50, 0})};
    std::string sPairs;
    for (const PairCandidate& pair : FormPairAlignments(vFirst, vSecond, 1000))
        sPairs += std::to_string(pair.iFirst) + "-" + std::to_string(pair.iSecond) + ":" +
                  std::to_string(pair.iMismatches) + " ";
    EXPECT_EQ(sPairs, "0-1:1 1-0:2 1-2:0 ");
}

// Keep rules on pair alignments by their larger mate's count: best above the limit, more than
// best + extra, more than MAX_ALIGNMENTS. A dropped read counts the lines its pair alignments
// join (here one line of mate 2 and a line of mate 1 for each), those above best + extra aside.
TEST(PairAlignments, KeepRules) {
    const struct { std::vector<int> vCounts; int iKept; std::string sDrops; } cases[] = {
        {{0, 3, 2}, 2, "0 0 0"}, {{3, 4}, 0, "1 0 3"}, {{0, 0, 0}, 0, "0 1 4"}, {{1, 1}, 2, "0 0 0"},
        {{0, 5, 0, 0}, 0, "0 1 4"}};
    for (const auto& c : cases) {
        std::vector<PairCandidate> vPairs;
        for (int iCount : c.vCounts) vPairs.push_back(PairCandidate{static_cast<int>(vPairs.size()), 0, iCount});
        KeepRuleDrops drops;
        EXPECT_EQ(KeepPairAlignments(KeepRuleLimits{2, 2, 2}, vPairs, 1, drops), c.iKept);
        EXPECT_EQ(std::to_string(drops.Count(DropReason::BestAboveLimit)) + " " +
                      std::to_string(drops.Count(DropReason::TooManyAlignments)) + " " +
                      std::to_string(drops.Lines(DropReason::BestAboveLimit) + drops.Lines(DropReason::TooManyAlignments)),
                  c.sDrops);
    }
}

// A pair multiread, a mate line in no pair, a unique pair, a read whose mates form no pair (each
// scored as a single-end read), SEQ "*" filled from the same mate's line (of another length than
// mate 1), a single-end read, and a pair read with more pair alignments than MAX_ALIGNMENTS among
// them; the values of pair alignments summed on their lines.
TEST(PairAlignments, FilingAndValuesOnLines) {
    const std::string sSam =
        "@HD\tVN:1.6\tSO:queryname\n" +
        PairLine("P1", Flag(1, '+'), 100) + PairLine("P1", Flag(2, '-'), 300) +              // lines 2, 3
        PairLine("P1", Flag(1, '+') | 256, 5000) + PairLine("P1", Flag(2, '-') | 256, 5200) +  // 4, 5
        PairLine("P1", Flag(2, '-') | 256, 9000) +                                            // 6: in no pair
        PairLine("P2", Flag(1, '+'), 2000) + PairLine("P2", Flag(2, '-'), 2200) +              // 7, 8: unique
        PairLine("P3", Flag(1, '+'), 3000) + PairLine("P3", Flag(1, '+') | 256, 7000) +        // 9, 10
        PairLine("P3", Flag(2, '+'), 3100) +                                                  // 11: same strand
        PairLine("P4", Flag(1, '+'), 4000) + PairLine("P4", Flag(2, '-') | 256, 4300, "*") +   // 12, 13
        PairLine("P4", Flag(2, '-'), 4200, std::string(30, 'C'), "0A29") +                    // 14
        PairLine("S", 0, 8000) + PairLine("S", 256, 8500) +                                   // 15, 16
        PairLine("P5", Flag(1, '+'), 6000) + PairLine("P5", Flag(2, '-'), 6200) +              // 17, 18
        PairLine("P5", Flag(2, '-') | 256, 6300) + PairLine("P5", Flag(2, '-') | 256, 6400) +  // 19, 20
        PairLine("P5", Flag(2, '-') | 256, 6500, std::string(36, 'C'), "0A0A0A0A0A31");      // 21: 5 mismatches
    TempDir dir;
    WriteFile(dir.File("in.sam"), sSam);
    static const TempDir logDir;
    GetLogger()->CreateOutFile(logDir.File("test.log"));
    MultiReadCollectionMgr collections(2, 2, 2);
    std::string sError;
    EXPECT_EQ(collections.BuildReadCollections(dir.File("in.sam"), sError), 20);
    EXPECT_EQ(Filed(collections), "1:11 1:7 1:8 2:12+13,12+14 2:15,16 2:2+3,4+5 2:9,10 ");
    const KeepRuleDrops& drops = collections.Drops();
    EXPECT_EQ(drops.Count(DropReason::MateInNoPair), 1);
    EXPECT_EQ(drops.FirstLine(DropReason::MateInNoPair), 6);
    EXPECT_EQ(std::to_string(drops.Count(DropReason::TooManyAlignments)) + " reads, " +
                  std::to_string(drops.Lines(DropReason::TooManyAlignments)) + " lines; line " +
                  std::to_string(drops.FirstLine(DropReason::AboveBestPlusExtra)) + " above best + extra",
              "1 reads, 4 lines; line 21 above best + extra");
    EXPECT_EQ(collections.ReadsWithSeveralAlignments(), 5);  // P1, a mate of P3, P4, S, P5
    EXPECT_EQ(collections.UniquePairs(), 1);
    EXPECT_EQ(collections.PairMultireads(), 2);
    std::string sIndexed;
    KeptLines::Cursor cursor(collections.Kept());
    int64_t iLine = 0;
    const Read* pLine = nullptr;
    while (cursor.Next(iLine, pLine)) sIndexed += std::to_string(iLine) + (pLine ? " " : "u ");
    EXPECT_EQ(sIndexed, "2 3 4 5 7u 8u 9 10 11u 12 13 14 15 16 ");

    // P4: 66 read positions, mate 2's mismatch (line 14) at 36 + 0; line 13 took mate 2's SEQ and QUAL.
    const MultiReadContainer& twos = collections.Container(2);
    const MultiRead& p4 = *std::find_if(twos.begin(), twos.end(),
                                        [](const MultiRead& m) { return std::string(m.Reads(0).readID) == "P4"; });
    EXPECT_EQ(p4.Length(), 66);
    EXPECT_EQ(std::string(p4.Reads(0).quality), std::string(66, 'I'));
    EXPECT_EQ(p4.Reads(0).MismatchCount(), 0);
    ASSERT_EQ(p4.Reads(1).MismatchCount(), 1);
    EXPECT_EQ(p4.Reads(1).Mismatch(0).position, 36);

    // Line 12 is in both pair alignments of P4: its value is their sum.
    for (int k = 2; k <= collections.LargestAlignmentCount(); ++k)
        for (MultiRead& m : collections.Container(k))
            for (int j = 0; j < k; ++j) m.Reads(j).probability[0] = m.Reads(j).probability[1] = 0.25 + 0.5 * j;
    collections.SumPairValuesOnLines();
    std::map<int, double> values;
    for (const Read* pRead : collections.Kept().MultireadLines()) values[pRead->lineNumber] = pRead->probability[1];
    EXPECT_EQ(values, (std::map<int, double>{{2, 0.25}, {3, 0.25}, {4, 0.75}, {5, 0.75}, {9, 0.25}, {10, 0.75},
                                             {12, 1.0}, {13, 0.25}, {14, 0.75}, {15, 0.25}, {16, 0.75}}));
}

// A whole run: the mates of a unique pair are the evidence of the pair alignment whose fragment
// window holds them; each mate's values sum to 1; a mate line in no pair carries none; one and
// three threads, and two parts merged, give the same bytes, and the merge the same pair counts.
TEST(PairAlignments, WholeRun) {
    const std::string sSam = PairLine("P", Flag(1, '+'), 100) + PairLine("P", Flag(2, '-'), 300) +
                             PairLine("P", Flag(1, '+') | 256, 5000) + PairLine("P", Flag(2, '-') | 256, 5200) +
                             PairLine("P", Flag(2, '-') | 256, 9000) + PairLine("U", Flag(1, '+'), 5150) +
                             PairLine("U", Flag(2, '-'), 5400);
    TempDir dir;
    WriteFile(dir.File("in.sam"), sSam);
    WriteFile(dir.File("run.cfg"), "MAP_FILENAME=in.sam\nSTRANDNESS_OPTION=ON\nTOTAL_ITERATIONS=100\n"
                                   "BURNIN_ITERATIONS=10\nOUTPUT_FILE=out.sam+\n");
    const ProgramResult whole = RunKorvex(dir.Path(), {"run.cfg"});
    ASSERT_EQ(whole.iExitStatus, 0) << ReadFile(dir.File("Logger.out"));
    EXPECT_NE(whole.sStdout.find("  pairs:             1 unique, 1 with 2 or more pair alignments\n"), std::string::npos)
        << whole.sStdout;
    EXPECT_EQ(whole.sStderr.find("not a single read has two or more alignments"), std::string::npos) << whole.sStderr;
    const std::string sWhole = ReadFile(dir.File("out.sam+"));
    std::vector<std::string> vValues;
    for (const std::string& sLine : SplitLines(sWhole)) {
        const std::size_t iShare = sLine.rfind('\t', sLine.rfind('\t', sLine.size() - 2) - 1);
        vValues.push_back(sLine.substr(iShare + 1));
    }
    ASSERT_EQ(vValues.size(), 7u);
    EXPECT_EQ(vValues[0].substr(0, 2) + vValues[1].substr(0, 2) + vValues[2].substr(0, 2) + vValues[3].substr(0, 2),
              "0\t0\t1\t1\t");  // the unique share: U lies in the second fragment's window only
    EXPECT_EQ(vValues[4] + vValues[5] + vValues[6], "NA\tNA\t1\t1\t1\t1\t");
    const double dPosterior = std::stod(vValues[2].substr(vValues[2].find('\t')));
    EXPECT_NEAR(std::stod(vValues[0].substr(vValues[0].find('\t'))) + dPosterior, 1.0, 1e-5);
    EXPECT_EQ(vValues[2], vValues[3]);  // both mates of a pair alignment carry its values
    EXPECT_NE(ReadFile(dir.File("Logger.out")).find("1 mate lines in no pair alignment"), std::string::npos);

    ASSERT_EQ(RunKorvex(dir.Path(), {"run.cfg", "NUM_THREADS=3"}).iExitStatus, 0);
    EXPECT_EQ(ReadFile(dir.File("out.sam+")), sWhole);
    for (const char* sPart : {"1", "2"}) ASSERT_EQ(RunKorvex(dir.Path(), {"run.cfg", "2", sPart}).iExitStatus, 0);
    const ProgramResult merged = RunKorvex(dir.Path(), {"merge", "run.cfg", "2"});
    ASSERT_EQ(merged.iExitStatus, 0);
    EXPECT_EQ(ReadFile(dir.File("out.sam+")), sWhole);
    EXPECT_NE(merged.sStdout.find("  pairs:             1 unique, 1 with 2 or more pair alignments\n"), std::string::npos)
        << merged.sStdout;
}
