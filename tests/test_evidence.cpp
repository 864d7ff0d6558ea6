#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "KorvexCalc.h"

namespace {

struct MismatchSpec {
    int iOffset;
    char cQuality;
};

Read MakeRead(int position, const char* chromosome, char strand = '+',
              std::initializer_list<MismatchSpec> mismatches = {}) {
    Read r;
    std::memset(r.readID, 0, sizeof(r.readID));
    std::strcpy(r.readID, "read");
    std::memset(r.chromosome, 0, sizeof(r.chromosome));
    std::memcpy(r.chromosome, chromosome, std::min(std::strlen(chromosome), sizeof(r.chromosome) - 1));
    std::memset(r.quality, 0, sizeof(r.quality));
    r.position = position;
    r.lineNumber = 1;
    r.strand = strand;
    int i = 0;
    for (const MismatchSpec& m : mismatches) r.vMismatches[i++] = ReadMismatch(int16_t(m.iOffset), m.cQuality);
    r.probability[0] = r.probability[1] = 0.0;
    return r;
}

// map_1 and its position vector; reads must be added in ascending position.
class UniqueReads {
public:
    Read& Add(const Read& r) {
        vOwned.push_back(std::make_unique<MultiRead_t<1>>());
        vOwned.back()->Reads(0) = r;
        vReads.push_back(vOwned.back().get());
        vPositions.push_back(r.position);
        return vOwned.back()->Reads(0);
    }
    void AddRange(int from, int to, const char* chromosome = "chr1") {
        for (int p = from; p <= to; ++p) Add(MakeRead(p, chromosome));
    }

    std::vector<std::unique_ptr<MultiRead_t<1>>> vOwned;  // owns the unique reads of a test
    std::vector<MultiRead*> vReads;
    std::vector<int> vPositions;
};

KorvexCalc MakeCalc(int iSeqLength, int iFlankingValue) {
    KorvexCalc calc{};
    calc.iSeqLength = iSeqLength;
    calc.iFlankingValue = iFlankingValue;
    return calc;
}

std::vector<int> Offsets(const std::vector<MisMatchData>& entries) {
    std::vector<int> offsets;
    for (const MisMatchData& entry : entries) offsets.push_back(entry.iOffset);
    return offsets;
}

}  // namespace

TEST(FlankingWindow, FlankingValueWidensOrNarrowsTheWindow) {
    UniqueReads unique;
    for (int p : {955, 964, 965, 975, 1025, 1035, 1036, 1045}) unique.Add(MakeRead(p, "chr1"));
    struct Case {
        int iFlank;
        int iCount, iFirst, iLast;
    } cases[] = {{0, 4, 2, 5}, {10, 8, 0, 7}, {-10, 2, 3, 4}};
    for (const Case& c : cases) {
        KorvexCalc calc = MakeCalc(36, c.iFlank);
        int first = 0, last = 0;
        EXPECT_EQ(calc.countMatchingUniqueReads_at_flanking(unique.vReads, MakeRead(1000, "chr1"),
                                                            unique.vPositions, false, last, first),
                  c.iCount)
            << "F = " << c.iFlank;
        EXPECT_EQ(first, c.iFirst) << "F = " << c.iFlank;
        EXPECT_EQ(last, c.iLast) << "F = " << c.iFlank;
    }
}

TEST(FlankingWindow, NegativeFlankLeavesCoveringReadsOutsideTheWindowUnlisted) {
    UniqueReads unique;
    for (int p : {965, 975, 1000}) unique.Add(MakeRead(p, "chr1"));
    KorvexCalc calc = MakeCalc(36, -10);
    Read r = MakeRead(1000, "chr1");
    int first = 0, last = 0;
    EXPECT_EQ(calc.countMatchingUniqueReads_at_flanking(unique.vReads, r, unique.vPositions, false, last, first), 2);
    std::vector<MisMatchData> out;
    EXPECT_EQ(calc.FindMatchingUniqueReads_at_k_2(0, unique.vReads, r, unique.vPositions, last, first, out, false), 2);
    EXPECT_EQ(Offsets(out), (std::vector<int>{25, 0}));
}

TEST(FlankingWindow, EmptyUniqueReadsGiveNoWindow) {
    UniqueReads unique;
    KorvexCalc calc = MakeCalc(36, 0);
    Read r = MakeRead(1000, "chr1");
    int first = 0, last = 0;
    EXPECT_EQ(calc.countMatchingUniqueReads_at_flanking(unique.vReads, r, unique.vPositions, false, last, first), 0);
    EXPECT_GT(first, last);
    std::vector<MisMatchData> out;
    EXPECT_EQ(calc.FindMatchingUniqueReads_at_k_2(0, unique.vReads, r, unique.vPositions, last, first, out, false), 0);
    EXPECT_TRUE(out.empty());
}

TEST(FlankingWindow, OtherReferenceAndOtherStrandAreExcluded) {
    UniqueReads unique;
    Read& same = unique.Add(MakeRead(990, "chr1", '+'));
    std::memcpy(same.chromosome + 5, "xyz", 3);  // bytes after the terminator do not count
    unique.Add(MakeRead(990, "chr2", '+'));
    unique.Add(MakeRead(995, "chr1", '-'));
    unique.Add(MakeRead(995, "chr10", '+'));
    unique.Add(MakeRead(996, "chr", '+'));
    unique.Add(MakeRead(997, "chr1_alt", '+'));
    KorvexCalc calc = MakeCalc(36, 0);
    Read r = MakeRead(1000, "chr1", '+');
    struct Case {
        bool bStrandness;
        int iCount;
        std::vector<int> vOffsets;
    } cases[] = {{false, 2, {10, 5}}, {true, 1, {10}}};
    for (const Case& c : cases) {
        int first = 0, last = 0;
        EXPECT_EQ(calc.countMatchingUniqueReads_at_flanking(unique.vReads, r, unique.vPositions, c.bStrandness, last,
                                                            first),
                  c.iCount);
        EXPECT_EQ(first, 0);
        EXPECT_EQ(last, 5);
        std::vector<MisMatchData> out;
        calc.FindMatchingUniqueReads_at_k_2(0, unique.vReads, r, unique.vPositions, last, first, out, c.bStrandness);
        EXPECT_EQ(Offsets(out), c.vOffsets) << "strandness " << c.bStrandness;
    }
}

TEST(FlankingWindow, CountIsZeroButWindowIsReturnedWhenNoReadMatches) {
    UniqueReads unique;
    for (int p : {900, 980, 1010}) unique.Add(MakeRead(p, "chr2"));
    KorvexCalc calc = MakeCalc(36, 0);
    int first = 0, last = 0;
    EXPECT_EQ(calc.countMatchingUniqueReads_at_flanking(unique.vReads, MakeRead(1000, "chr1"), unique.vPositions,
                                                        false, last, first),
              0);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 2);
}

TEST(CoveringReads, OffsetsRunFrom35DownToZeroAtEveryReadPosition) {
    UniqueReads unique;
    unique.AddRange(950, 1050);
    KorvexCalc calc = MakeCalc(36, 0);
    Read r = MakeRead(1000, "chr1");
    int first = 0, last = 0;
    ASSERT_EQ(calc.countMatchingUniqueReads_at_flanking(unique.vReads, r, unique.vPositions, false, last, first), 71);
    std::vector<int> vExpected;
    for (int offset = 35; offset >= 0; --offset) vExpected.push_back(offset);
    for (int k : {0, 1, 17, 34, 35}) {
        std::vector<MisMatchData> out;
        EXPECT_EQ(calc.FindMatchingUniqueReads_at_k_2(k, unique.vReads, r, unique.vPositions, last, first, out, false),
                  36);
        EXPECT_EQ(Offsets(out), vExpected) << "k = " << k;
        EXPECT_EQ(unique.vPositions[first], 965);
    }
}

TEST(CoveringReads, ReadsAtTheSamePositionAreListedInContainerOrder) {
    UniqueReads unique;
    unique.Add(MakeRead(990, "chr1", '+', {{10, 'A'}}));
    unique.Add(MakeRead(990, "chr1", '+', {{2, 'x'}}));
    unique.Add(MakeRead(990, "chr1", '+', {{4, '!'}, {10, 'C'}}));
    KorvexCalc calc = MakeCalc(36, 0);
    Read r = MakeRead(1000, "chr1");
    int first = 0, last = 0;
    EXPECT_EQ(calc.countMatchingUniqueReads_at_flanking(unique.vReads, r, unique.vPositions, false, last, first), 3);
    std::vector<MisMatchData> out;
    ASSERT_EQ(calc.FindMatchingUniqueReads_at_k_2(0, unique.vReads, r, unique.vPositions, last, first, out, false), 3);
    EXPECT_TRUE(out[0].bMisMatch);
    EXPECT_EQ(out[0].cQuality, 'A');
    EXPECT_FALSE(out[1].bMisMatch);
    EXPECT_EQ(out[1].cQuality, ' ');
    EXPECT_TRUE(out[2].bMisMatch);
    EXPECT_EQ(out[2].cQuality, 'C');
}

TEST(MisMatchEntry, FlagsOnlyAMismatchAtExactlyTheGenomePosition) {
    KorvexCalc calc = MakeCalc(36, 0);
    Read u = MakeRead(990, "chr1", '+', {{3, '#'}, {10, 'I'}});
    struct Case {
        int iAlignmentPosition, k;
        int iOffset;
        bool bMisMatch;
        char cQuality;
    } cases[] = {{1000, 0, 10, true, 'I'}, {990, 3, 3, true, '#'}, {995, 0, 5, false, ' '}, {990, 35, 35, false, ' '}};
    for (const Case& c : cases) {
        std::vector<MisMatchData> out(1);
        EXPECT_EQ(calc.FindMisMatches_at_k(c.k, MakeRead(c.iAlignmentPosition, "chr1"), u, out), 2);
        EXPECT_EQ(out[1].iOffset, c.iOffset);
        EXPECT_EQ(out[1].bMisMatch, c.bMisMatch);
        EXPECT_EQ(out[1].cQuality, c.cQuality);
    }
}

TEST(MisMatchEntry, EmptyEntriesNeverMatch) {
    // An empty entry has position -1; u.position - 1 == X must not count as a mismatch.
    KorvexCalc calc = MakeCalc(36, 0);
    Read u = MakeRead(1001, "chr1");
    std::vector<MisMatchData> out;
    EXPECT_EQ(calc.FindMisMatches_at_k(0, MakeRead(1000, "chr1"), u, out), 1);
    EXPECT_EQ(out[0].iOffset, -1);
    EXPECT_FALSE(out[0].bMisMatch);
    EXPECT_EQ(out[0].cQuality, ' ');
}
