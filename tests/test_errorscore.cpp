#include <gtest/gtest.h>

#include "ErrorScore.h"
#include "Logger.h"
#include "TestHelpers.h"
#include "utils.h"

TEST(ErrorScore, MismatchesPerOccurrenceOfEachCharacter) {
    struct Unique { std::string sQuality; std::vector<int> vMismatchOffsets; };
    struct Case { std::vector<Unique> vReads; std::map<char, double> expected; std::string sStdout; };
    const std::vector<Case> cases = {
        {{{"IIII", {}}, {"IIII", {1}}, {"##5", {0, 1}}}, {{'I', 1.0 / 8.0}, {'#', 0.99}, {'5', 0.0}, {'Q', 0.5}}, ""},
        // A QUAL of "*" gives a mismatch the NUL character, which no quality text holds.
        {{{"*", {10}}}, {{'*', 0.0}, {'Q', 0.5}},
         std::string("calc_error_score: Error:  Character (") + '\0' +
             ") at  position: (10) in vMismatches array in Read structure is not in the error_score map.\n"},
        // Every quality character of a long read counts.
        {{{std::string(150, 'A'), {0, 140}}}, {{'A', 2.0 / 150.0}, {'Q', 0.5}}, ""},
    };
    TempDir dir;
    GetLogger()->CreateOutFile(dir.File("test.log"));  // the error line is a warning of the log
    for (const Case& c : cases) {
        std::vector<MultiRead_t<1>> vUnique(c.vReads.size());  // owns the reads handed to calc_error_score
        std::vector<MultiRead*> vPointers;
        for (const Unique& unique : c.vReads) {
            Read& read = vUnique[vPointers.size()].Reads(0);
            read = MakeRead("u", "c", 1, unique.sQuality, unique.vMismatchOffsets);
            vPointers.push_back(&vUnique[vPointers.size()]);
        }
        std::map<char, double> error_score = {{'Q', 0.5}};  // a character of no read keeps its entry
        testing::internal::CaptureStderr();
        calc_error_score(vPointers, error_score);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.sStdout);
        EXPECT_EQ(error_score, c.expected);
    }
}
