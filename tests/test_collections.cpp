// The multiread containers: their records, the keep rules, grouping and the map files.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "MultiReadCollectionMgr.h"
#include "TestHelpers.h"

namespace {

std::string SamLine(const std::string& name, const std::string& flag, int position, const std::string& md) {
    return name + "\t" + flag + "\tchr1\t" + std::to_string(position) + "\t255\t36M\t*\t0\t0\t" +
           "ACGTACGTACGTACGTACGTACGTACGTACGTACGT\tABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij\tXA:i:0\t" + md + "\n";
}

// The line numbers in map_1 to map_5, "N:lines" per MultiRead; checks that LineNumberMap holds
// just these Reads, in line order.
std::string Containers(MultiReadCollectionMgr& collections) {
    std::string s;
    std::set<const Read*> filed;
    for (int k = 1; k <= 5; ++k)
        for (MultiRead* pMultiRead : collections.GetReadMap(k))
            for (int i = 0; i < pMultiRead->Size(); ++i) {
                const Read& read = pMultiRead->Reads(i);
                s += (i ? "," : (s.empty() ? "" : " ") + std::to_string(k) + ":") + std::to_string(read.lineNumber);
                filed.insert(&read);
            }
    const LineIndex& index = collections.LineNumberMap;
    EXPECT_EQ(std::set<const Read*>(index.begin(), index.end()), filed);
    for (std::size_t i = 1; i < index.size(); ++i) EXPECT_LT(index[i - 1]->lineNumber, index[i]->lineNumber);
    return s;
}

}  // namespace

// Every access goes through the base pointer, as the containers hold them; the bare base holds nothing.
TEST(MultiRead, SizesAndIndexErrors) {
    const std::unique_ptr<MultiRead> multis[] = {
        std::make_unique<MultiRead>(),      std::make_unique<MultiRead_t<1>>(), std::make_unique<MultiRead_t<2>>(),
        std::make_unique<MultiRead_t<3>>(), std::make_unique<MultiRead_t<4>>(), std::make_unique<MultiRead_t<5>>()};
    for (int iSize = 0; iSize <= 5; ++iSize) {
        MultiRead& multi = *multis[iSize];
        EXPECT_EQ(multi.Size(), iSize);
        for (int i = 0; i < iSize; ++i) multi.Reads(i).position = 100 * iSize + i;
        for (int i = 0; i < iSize; ++i) EXPECT_EQ(std::as_const(multi).Reads(i).position, 100 * iSize + i);
        for (int i : {-1, iSize}) {
            EXPECT_THROW(multi.Reads(i), std::runtime_error) << iSize << " " << i;
            EXPECT_THROW(std::as_const(multi).Reads(i), std::runtime_error) << iSize << " " << i;
        }
    }
}

TEST(MultiReadCollectionMgr, KeepRules) {
    struct Case { int iMax; int iExtra; std::vector<int> vMismatchCounts; std::string sKept; };
    const std::vector<Case> cases = {
        {2, 1, {0}, "1:1"}, {2, 1, {0, 1, 2}, "2:1,2"}, {2, 1, {2, 1, 0}, "2:2,3"}, {2, 1, {3}, ""},
        {2, 1, {0, 0, 0, 0, 0, 0}, ""}, {2, 1, {0, 0, 0, 0, 0}, "5:1,2,3,4,5"}, {2, 1, {2, 0, 2, 0, 2, 2}, "2:2,4"},
        {2, 1, {2, 3, 3}, "3:1,2,3"}, {2, 5, {0, 3, 3, 1}, "4:1,2,3,4"}, {2, 0, {1, 2, 1}, "2:1,3"},
        {0, 2, {1, 1}, ""}, {2, -1, {0, 0}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.iMax << "+" << c.iExtra << testing::PrintToString(c.vMismatchCounts));
        MultiReadCollectionMgr collections(c.iMax, c.iExtra);
        TmpReadContainer tmp;
        for (int iCount : c.vMismatchCounts) {
            tmp.push_back(MakeRead("R", "c", 1, "IIIIIIIIII", std::vector<int>(iCount, 9)));  // iCount mismatches
            tmp.back().lineNumber = static_cast<int>(tmp.size());
        }
        collections.ProcessCurrentTmpContainer(tmp);
        EXPECT_EQ(Containers(collections), c.sKept);
    }
}

TEST(MultiReadCollectionMgr, GroupsConsecutiveLinesAndWritesMapFiles) {
    // R2's rejected line 4 and unreadable line 6 do not split it; R3 is dropped, its best alignment
    // having 3 mismatches; two names that agree in their first 40 characters are two reads.
    TempDir dir;
    ScopedChdir chdir(dir.Path());  // the map files and the log are written to the working directory
    const std::string sLong(40, 'L');
    WriteFile("in.sam", "@HD\tVN:1.0\n" + SamLine("R1", "0", 10, "MD:Z:10A14T10") + SamLine("R2", "0", 20, "MD:Z:36") +
                            SamLine("R2", "4", 21, "MD:Z:36") + SamLine("R2", "16", 22, "MD:Z:10A25") +
                            SamLine("R2", "0", 23, "MD:Z:10N25") + SamLine("R2", "0", 24, "MD:Z:1A1C32") +
                            SamLine("R3", "0", 40, "MD:Z:0A0C0G33") + SamLine("R3", "0", 41, "MD:Z:0A0C0G33") +
                            SamLine(sLong + "1", "0", 50, "MD:Z:36") + SamLine(sLong + "2", "0", 60, "MD:Z:36"));
    MultiReadCollectionMgr collections(2, 1);
    std::string sError;
    EXPECT_EQ(collections.BuildReadCollections("in.sam", true, sError), 8);
    EXPECT_EQ(Containers(collections), "1:2 1:10 1:11 2:3,5");
    std::string sFiles;
    for (char k : {'1', '2', '3', '4', '5'}) sFiles += ReadFile(std::string("map_") + k + "_contents.txt") + "|";
    EXPECT_EQ(sFiles, "2\tR1\t+\tchr1\t10\t[10,K][25,Z]\n10\t" + sLong + "1\t+\tchr1\t50\t\n11\t" + sLong +
                          "2\t+\tchr1\t60\t\n|3\tR2\t+\tchr1\t20\t\n5\tR2\t-\tchr1\t22\t[10,K]\n||||");
    EXPECT_TRUE(FileExists("map_5_contents.txt"));  // an empty container gives an empty file
    // Unique reads keep no quality text; the alignments of multireads keep theirs.
    EXPECT_STREQ(collections.map_1[0]->Reads(0).quality, "");
    EXPECT_STREQ(collections.map_2[0]->Reads(1).quality, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij");
}

// A file whose reads are not grouped, or that has no MD tag at all, is refused with the line.
TEST(MultiReadCollectionMgr, RefusesUngroupedFilesAndFilesWithoutMdTags) {
    const struct { std::string sText, sError; } cases[] = {
        {SamLine("R1", "0", 10, "MD:Z:36") + SamLine("R2", "0", 20, "MD:Z:36") + SamLine("R1", "0", 30, "MD:Z:36"),
         "the SAM file (in.sam), line 3: the read whose alignments start on line 1 appears again after other reads "
         "came between, but KORVEX needs the alignments of each read on consecutive lines; group the alignments "
         "of each read first, for example with `samtools collate` or `samtools sort -n`."},
        {SamLine("R1", "4", 10, "XB:i:1") + SamLine("R1", "0", 10, "XB:i:1") + SamLine("R2", "0", 20, "XB:i:1"),
         "the SAM file (in.sam), line 2: not a single alignment line has an MD:Z tag, and KORVEX reads the "
         "mismatches of each alignment from it; add MD tags, for example with `samtools calmd`."}};
    TempDir dir;
    ScopedChdir chdir(dir.Path());
    for (const auto& c : cases) {
        WriteFile("in.sam", c.sText);
        MultiReadCollectionMgr collections(2, 2);
        std::string sError;
        try {
            collections.BuildReadCollections("in.sam", false, sError);
            ADD_FAILURE() << "not refused: " << c.sError;
        } catch (const InputError& e) {
            EXPECT_EQ(std::string(e.what()), c.sError);
        }
    }
}
