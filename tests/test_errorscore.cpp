#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ErrorScore.h"

namespace {

// Owns the unique reads handed to calc_error_score.
class UniqueReads {
public:
    void Add(const std::string& sQuality, const std::vector<ReadMismatch>& vMismatches = {}) {
        vOwned.push_back(std::make_unique<MultiRead_t<1>>());
        Read& read = vOwned.back()->Reads(0);
        std::memset(read.quality, 0, sizeof(read.quality));
        std::memcpy(read.quality, sQuality.data(), std::min(sQuality.size(), sizeof(read.quality)));
        read.strand = '+';
        for (std::size_t i = 0; i < vMismatches.size(); ++i) read.vMismatches[i] = vMismatches[i];
        vPointers.push_back(vOwned.back().get());
    }
    Read& Last() { return vOwned.back()->Reads(0); }
    std::vector<MultiRead*>& Container() { return vPointers; }

private:
    std::vector<std::unique_ptr<MultiRead_t<1>>> vOwned;
    std::vector<MultiRead*> vPointers;
};

std::map<char, double> Scores(UniqueReads& reads, std::string* pStdout = nullptr) {
    std::map<char, double> error_score;
    testing::internal::CaptureStdout();
    calc_error_score(reads.Container(), error_score);
    std::string sOut = testing::internal::GetCapturedStdout();
    if (pStdout) *pStdout = sOut;
    return error_score;
}

}  // namespace

TEST(ErrorScore, MismatchesPerOccurrenceOfEachCharacter) {
    UniqueReads reads;
    reads.Add("IIII");
    reads.Add("IIII", {ReadMismatch(1, 'I')});
    reads.Add("##5I", {ReadMismatch(0, '#'), ReadMismatch(1, '#')});
    reads.Add("AB");
    std::string sOut;
    std::map<char, double> scores = Scores(reads, &sOut);
    EXPECT_EQ(sOut, "");
    const std::map<char, double> expected = {{'I', 1.0 / 9.0}, {'#', 0.99}, {'5', 0.0}, {'A', 0.0}, {'B', 0.0}};
    EXPECT_EQ(scores, expected);
}

TEST(ErrorScore, UncountedMismatchCharacterIsReportedAndSkipped) {
    UniqueReads reads;
    reads.Add("*", {ReadMismatch(10, '\0'), ReadMismatch(-1, ' ')});
    reads.Add("II", {ReadMismatch(5, 'Z')});
    std::string sOut;
    std::map<char, double> scores = Scores(reads, &sOut);
    EXPECT_EQ(sOut, std::string("calc_error_score: Error:  Character (") + '\0' +
                        ") at  position: (10) in vMismatches array in Read structure is not in the error_score map.\n"
                        "calc_error_score: Error:  Character (Z) at  position: (5) in vMismatches array in Read "
                        "structure is not in the error_score map.\n");
    EXPECT_EQ(scores, (std::map<char, double>{{'*', 0.0}, {'I', 0.0}}));
}

TEST(ErrorScore, EmptyContainerKeepsExistingEntries) {
    UniqueReads none;
    std::map<char, double> error_score = {{'Q', 0.5}};
    calc_error_score(none.Container(), error_score);
    EXPECT_EQ(error_score, (std::map<char, double>{{'Q', 0.5}}));

    UniqueReads reads;
    reads.Add("II");
    calc_error_score(reads.Container(), error_score);
    EXPECT_EQ(error_score, (std::map<char, double>{{'I', 0.0}, {'Q', 0.5}}));
}

TEST(ErrorScore, FullQualityFieldIsCountedWithoutReadingPastIt) {
    // A quality of 121 or more characters fills the field with no terminator; the
    // strand byte right after it must not be counted.
    UniqueReads reads;
    reads.Add(std::string(150, 'A'), {ReadMismatch(0, 'A')});
    ASSERT_EQ(reads.Last().QualityLength(), 121);
    std::map<char, double> scores = Scores(reads);
    EXPECT_EQ(scores, (std::map<char, double>{{'A', 1.0 / 121.0}}));
}
