#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "MultiReadCollectionMgr.h"
#include "TestHelpers.h"

namespace {

const std::string SEQ36 = "ACGTACGTACGTACGTACGTACGTACGTACGTACGT";
const std::string QUAL36 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij";

std::string SamLine(const std::string& name, const std::string& flag, int position, const std::string& md) {
    return name + "\t" + flag + "\tchr1\t" + std::to_string(position) + "\t255\t36M\t*\t0\t0\t" + SEQ36 + "\t" +
           QUAL36 + "\tXA:i:0\t" + md + "\n";
}

Read MakeRead(int iLineNumber, int iMismatches) {
    Read read;
    std::strcpy(read.readID, "R");
    std::strcpy(read.chromosome, "chr1");
    std::strcpy(read.quality, QUAL36.c_str());
    read.position = 100 + iLineNumber;
    read.lineNumber = iLineNumber;
    read.strand = '+';
    for (int i = 0; i < iMismatches; ++i) read.vMismatches[i] = ReadMismatch(static_cast<int16_t>(3 * i), 'I');
    return read;
}

// Number of the only non-empty container (0 when all are empty).
int FilledMap(MultiReadCollectionMgr& collections) {
    int iFilled = 0;
    for (int k = 1; k <= 5; ++k)
        if (!collections.GetReadMap(k).empty()) iFilled = k;
    return iFilled;
}

std::vector<int> LineNumbersOf(const MultiRead& multiRead) {
    std::vector<int> vLines;
    for (int i = 0; i < multiRead.Size(); ++i) vLines.push_back(multiRead.Reads(i).lineNumber);
    return vLines;
}

// Runs BuildReadCollections in a fresh working directory (the log and map files land there).
struct Build {
    TempDir dir;
    MultiReadCollectionMgr collections;
    int64_t iAccepted = 0;
    std::string sError;
    std::string sStdout;

    Build(const std::string& samText, int iMax, int iExtra, bool bWriteMapFiles = false)
        : collections(iMax, iExtra) {
        WriteFile(dir.File("in.sam"), samText);
        ScopedChdir chdir(dir.Path());
        testing::internal::CaptureStdout();
        iAccepted = collections.BuildReadCollections(dir.File("in.sam"), bWriteMapFiles, sError);
        sStdout = testing::internal::GetCapturedStdout();
    }
};

}  // namespace

TEST(MultiReadCollectionMgr, KeepRules) {
    struct Case {
        int iMax;
        int iExtra;
        std::vector<int> vMismatchCounts;  // of lines 1, 2, ...
        int iMap;                          // 0: the read ID is dropped
        std::vector<int> vKeptLines;
    };
    const std::vector<Case> cases = {
        {2, 1, {0}, 1, {1}},
        {2, 1, {0, 1, 2}, 2, {1, 2}},
        {2, 1, {2, 1, 0}, 2, {2, 3}},
        {2, 1, {3}, 0, {}},
        {2, 1, {3, 3}, 0, {}},
        {2, 1, {0, 0, 0, 0, 0, 0}, 0, {}},
        {2, 1, {0, 0, 0, 0, 0}, 5, {1, 2, 3, 4, 5}},
        {2, 1, {2, 0, 2, 0, 2, 2}, 2, {2, 4}},
        {2, 1, {2, 3, 3}, 3, {1, 2, 3}},
        {2, 5, {0, 3, 3, 1}, 4, {1, 2, 3, 4}},
        {2, 0, {1, 2, 1}, 2, {1, 3}},
        {0, 2, {1, 1}, 0, {}},
        {2, -1, {0, 0}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.vMismatchCounts) + " max " + std::to_string(c.iMax) + " extra " +
                     std::to_string(c.iExtra));
        MultiReadCollectionMgr collections(c.iMax, c.iExtra);
        TmpReadContainer tmp;
        for (std::size_t i = 0; i < c.vMismatchCounts.size(); ++i)
            tmp.push_back(MakeRead(static_cast<int>(i) + 1, c.vMismatchCounts[i]));
        collections.ProcessCurrentTmpContainer(tmp);
        ASSERT_EQ(FilledMap(collections), c.iMap);
        EXPECT_EQ(collections.LineNumberMap.size(), c.vKeptLines.size());
        if (c.iMap == 0) continue;
        std::vector<MultiRead*>& container = collections.GetReadMap(c.iMap);
        ASSERT_EQ(container.size(), 1u);
        EXPECT_EQ(LineNumbersOf(*container[0]), c.vKeptLines);
        for (int i = 0; i < container[0]->Size(); ++i)
            EXPECT_EQ(collections.LineNumberMap.at(c.vKeptLines[i]), &container[0]->Reads(i));
    }
}

TEST(MultiReadCollectionMgr, GetReadMapRejectsNumbersOutsideOneToFive) {
    MultiReadCollectionMgr collections(2, 1);
    for (int iNumber : {0, 6}) {
        try {
            collections.GetReadMap(iNumber);
            ADD_FAILURE() << "no exception for " << iNumber;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()),
                      "GetReadMap: MapNumber (" + std::to_string(iNumber) + ") was not between 1 and 5 inclusive.\n");
        }
    }
}

TEST(MultiReadCollectionMgr, GroupsOnlyConsecutiveLinesOfOneReadID) {
    std::string sSam = "@HD\tVN:1.0\n" + SamLine("R1", "0", 10, "MD:Z:10A25") + SamLine("R2", "0", 20, "MD:Z:36") +
                       SamLine("R2", "4", 21, "MD:Z:36") + SamLine("R2", "16", 22, "MD:Z:10A25") +
                       SamLine("R2", "0", 23, "MD:Z:1A1C32") + SamLine("R1", "0", 30, "MD:Z:10N25") +
                       SamLine("R3", "0", 40, "MD:Z:0A0C0G33") + SamLine("R3", "0", 41, "MD:Z:0A0C0G33");
    Build build(sSam, 2, 1);
    EXPECT_EQ(build.iAccepted, 7);
    EXPECT_EQ(build.sError, "");
    EXPECT_NE(build.sStdout.find("BuildReadCollections: 1 lines were rejected because of non-standard format.\n\n"),
              std::string::npos);
    std::vector<MultiRead*>& map_1 = build.collections.map_1;
    ASSERT_EQ(map_1.size(), 2u);
    EXPECT_EQ(LineNumbersOf(*map_1[0]), std::vector<int>{2});
    EXPECT_EQ(LineNumbersOf(*map_1[1]), std::vector<int>{7});  // failed MD tag: no mismatches
    EXPECT_STREQ(map_1[1]->Reads(0).readID, "R1");
    ASSERT_EQ(build.collections.map_2.size(), 1u);
    EXPECT_EQ(LineNumbersOf(*build.collections.map_2[0]), (std::vector<int>{3, 5}));  // the rejected line 4 did not split R2
    EXPECT_EQ(build.collections.LineNumberMap.size(), 4u);
    EXPECT_EQ(build.collections.LineNumberMap.count(8), 0u);  // R3 is dropped: best has 3 mismatches
    EXPECT_EQ(build.collections.error_score.at('K'), 0.5);    // offset 10 is a mismatch in one of two unique reads
}

TEST(MultiReadCollectionMgr, LaterUnmappedLinesAreAllRejected) {
    std::string sSam = SamLine("R1", "0", 10, "MD:Z:36") + SamLine("R2", "4", 20, "MD:Z:36") +
                       SamLine("R3", "4", 30, "MD:Z:36");
    Build build(sSam, 2, 1);
    EXPECT_EQ(build.iAccepted, 1);
    EXPECT_NE(build.sStdout.find("BuildReadCollections: 2 lines were rejected"), std::string::npos);
}

TEST(MultiReadCollectionMgr, NoSequenceLineOrNoFileGivesZero) {
    Build headerOnly("@HD\tVN:1.0\n@SQ\tSN:chr1\tLN:100\n", 2, 1);
    EXPECT_EQ(headerOnly.iAccepted, 0);
    EXPECT_NE(headerOnly.sError.find("Couldn't open and read a valid Sequence line"), std::string::npos);
    EXPECT_EQ(headerOnly.collections.FileError(), "");
    EXPECT_EQ(headerOnly.sStdout, "");  // nothing is logged on this path

    MultiReadCollectionMgr missing(2, 1);
    std::string sError;
    EXPECT_EQ(missing.BuildReadCollections("/nonexistent/x.sam", false, sError), 0);
    EXPECT_EQ(missing.FileError(), "No such file or directory");
}

TEST(MultiReadCollectionMgr, ExampleFileFillsConsistentContainers) {
    Build build(ReadFile(TestDataPath("example.sam")), 2, 2);
    MultiReadCollectionMgr& collections = build.collections;
    EXPECT_EQ(build.iAccepted, 3475);
    std::size_t iAlignments = 0;
    std::vector<std::string> vMultiIDs;
    for (int k = 1; k <= 5; ++k) {
        for (MultiRead* pMultiRead : collections.GetReadMap(k)) {
            ASSERT_EQ(pMultiRead->Size(), k);
            iAlignments += static_cast<std::size_t>(k);
            for (int i = 0; i < k; ++i) {
                EXPECT_EQ(collections.LineNumberMap.at(pMultiRead->Reads(i).lineNumber), &pMultiRead->Reads(i));
                EXPECT_STREQ(pMultiRead->Reads(i).readID, pMultiRead->Reads(0).readID);
            }
            if (k > 1) vMultiIDs.push_back(pMultiRead->Reads(0).readID);
        }
    }
    EXPECT_EQ(iAlignments, collections.LineNumberMap.size());
    EXPECT_EQ(collections.map_1.size(), 1665u);
    EXPECT_EQ(collections.map_2.size() + collections.map_3.size() + collections.map_4.size() +
                  collections.map_5.size(),
              149u);
    // The shuffle leaves the multireads of the file in a non-file order (it is a permutation).
    EXPECT_FALSE(std::is_sorted(vMultiIDs.begin(), vMultiIDs.end()));
    std::sort(vMultiIDs.begin(), vMultiIDs.end());
    EXPECT_EQ(std::adjacent_find(vMultiIDs.begin(), vMultiIDs.end()), vMultiIDs.end());
    EXPECT_FALSE(collections.error_score.empty());
}

TEST(MultiReadCollectionMgr, MapContentsFiles) {
    std::string sSam = SamLine("R7", "0", 812, "MD:Z:10A14T10") + SamLine("R8", "16", 900, "MD:Z:36") +
                       SamLine("R9", "0", 5, "MD:Z:36") + SamLine("R9", "16", 50, "MD:Z:0A35");
    Build build(sSam, 2, 1, true);
    EXPECT_NE(build.sStdout.find("BuildReadCollections: Writing the map_x files to disk.....\n"), std::string::npos);
    EXPECT_NE(build.sStdout.find("BuildReadCollections: Finished writing the map_x files to disk.\n"),
              std::string::npos);
    EXPECT_EQ(ReadFile(build.dir.File("map_1_contents.txt")),
              "1\tR7\t+\tchr1\t812\t[10,K][25,Z]\n"
              "2\tR8\t-\tchr1\t900\t\n");
    EXPECT_EQ(ReadFile(build.dir.File("map_2_contents.txt")),
              "3\tR9\t+\tchr1\t5\t\n"
              "4\tR9\t-\tchr1\t50\t[0,A]\n");
    for (const char* pName : {"map_3_contents.txt", "map_4_contents.txt", "map_5_contents.txt"}) {
        EXPECT_TRUE(FileExists(build.dir.File(pName)));
        EXPECT_EQ(ReadFile(build.dir.File(pName)), "");
    }
}
