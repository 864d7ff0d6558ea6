#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "KorvexCalc.h"
#include "TestHelpers.h"

static Read At(int iPosition, const char* sChromosome = "chr1") { return MakeRead("u", sChromosome, iPosition); }

// Searches the unique reads (ascending position) for r, L = 36: "count first last:" of its window,
// then each entry listed at read position k as " offset", with the quality character when flagged.
static std::string Find(const std::vector<Read>& vUnique, const Read& r, int k, int iFlank, bool bStrandness) {
    std::deque<MultiRead_t<1>> vOwned(vUnique.size());  // map_1 of this search; this thread only
    std::vector<MultiRead*> vReads;
    std::vector<int> vPositions;
    for (size_t i = 0; i < vUnique.size(); ++i) vPositions.push_back((vOwned[i].Reads(0) = vUnique[i]).position);
    for (MultiRead_t<1>& u : vOwned) vReads.push_back(&u);
    KorvexCalc calc{36, iFlank, 0.0, 0, 0};  // L and F are all the search reads
    int first = 0, last = 0;
    int iCount = calc.countMatchingUniqueReads_at_flanking(vReads, r, vPositions, bStrandness, last, first);
    std::vector<MisMatchData> out;
    int iListed = calc.FindMatchingUniqueReads_at_k_2(k, vReads, r, vPositions, last, first, out, bStrandness);
    std::string s = std::to_string(iCount) + " " + std::to_string(first) + " " + std::to_string(last) + ":";
    for (const MisMatchData& e : out)
        s += " " + std::to_string(e.iOffset) + std::string(e.bMisMatch, e.cQuality);
    return iListed == static_cast<int>(out.size()) ? s : "returned " + std::to_string(iListed);
}

// At 1000 with F = 0 the window is 965 <= p <= 1035, and read position k is covered by the reads at
// 965 + k (offset 35) to 1000 + k (offset 0); a negative F leaves covering reads outside the window.
// Only reads on the same reference (up to its terminator) and, with strandness, strand count.
TEST(Evidence, WindowsAndCoveringReads) {
    const std::vector<Read> vWindow = {At(955), At(964), At(965), At(975), At(1025), At(1035), At(1036), At(1045)};
    std::vector<Read> vOther = {At(990), At(990, "chr2"), At(995), At(996, "chr10"), At(996, "chr"), At(996, "chr1_")};
    vOther[2].strand = '-';
    const std::vector<Read> vNone, vChr2 = {At(990, "chr2"), At(1010, "chr2")};
    const std::string sQ = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ", sQ2 = "0123456789aBCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::vector<Read> vSame = {MakeRead("u", "chr1", 990, sQ, {10}), MakeRead("u", "chr1", 990, sQ, {2}),
                                     MakeRead("u", "chr1", 990, sQ2, {4, 10})};
    struct Case {
        const std::vector<Read>& vUnique;
        int k, iFlank;
        bool bStrandness;
        const char* sExpected;
    } cases[] = {{vWindow, 0, 0, false, "4 2 5: 35 25"}, {vWindow, 35, 0, false, "4 2 5: 10 0"},
                 {vWindow, 0, 10, false, "8 0 7: 35 25"}, {vWindow, 0, -10, false, "2 3 4: 25"},
                 {vWindow, 35, -10, false, "2 3 4: 10"}, {vNone, 0, 0, false, "0 0 -1:"},
                 {vChr2, 0, 0, false, "0 0 1:"}, {vOther, 0, 0, false, "2 0 5: 10 5"},
                 {vOther, 0, 0, true, "1 0 5: 10"}, {vSame, 0, 0, false, "3 0 2: 10A 10 10a"}};
    Read r = At(1000);
    r.chromosome = KeepText("chr1");  // the same name in another text
    for (const Case& c : cases) EXPECT_EQ(Find(c.vUnique, r, c.k, c.iFlank, c.bStrandness), c.sExpected) << c.k;
    // At the largest position SAM allows, read position 35 lies beyond the int range.
    const std::vector<Read> vTop = {MakeRead("u", "chr1", 2147483647, sQ, {35})};
    EXPECT_EQ(Find(vTop, At(2147483647), 35, 0, false), "1 0 0: 35Z");
}
