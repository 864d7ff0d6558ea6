#include <gtest/gtest.h>

#include <list>
#include <stdexcept>
#include <string>
#include <vector>

#include "StringUtils.h"
#include "utils.h"

TEST(GetNextToken, SplitsAtTheFirstWholeDelimiter) {
    struct Case {
        std::string sText, sDelimiter, sToken, sRest;
    };
    const Case cases[] = {
        {"ab", "\t", "", "ab"},           // no delimiter: rest is the whole input
        {"a\tb\tc", "\t", "a", "b\tc"},
        {"\tb", "\t", "", "b"},           // an empty field: rest is shorter than the input
        {"a::b:c", "::", "a", "b:c"},     // a multi-character delimiter is one piece
        {"a:b", "::", "", "a:b"},
        {"", "\t", "", ""},
    };
    for (const Case& c : cases) {
        std::string sRest = "stale";
        EXPECT_EQ(GetNextToken(c.sText, c.sDelimiter, sRest), c.sToken) << c.sText;
        EXPECT_EQ(sRest, c.sRest) << c.sText;
    }
}

TEST(Split, DropsEmptyFieldsInBothContainers) {
    struct Case {
        std::string sText, sDelimiter;
        std::vector<std::string> vTokens;
    };
    const Case cases[] = {
        {"ab", "\t", {"ab"}},
        {"a\tb\tc", "\t", {"a", "b", "c"}},
        {"a\t\tc", "\t", {"a", "c"}},  // two adjacent tabs: one field fewer
        {"\ta\t", "\t", {"a"}},
        {"\t\t", "\t", {}},
        {"", "\t", {}},
        {"a::b:c::", "::", {"a", "b:c"}},
        {"abc", "", {"abc"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> vTokens;
        std::list<std::string> lTokens;
        EXPECT_EQ(Split(c.sText, c.sDelimiter, vTokens), static_cast<int>(c.vTokens.size())) << c.sText;
        EXPECT_EQ(Split(c.sText, c.sDelimiter, lTokens), static_cast<int>(c.vTokens.size())) << c.sText;
        EXPECT_EQ(vTokens, c.vTokens) << c.sText;
        EXPECT_EQ(std::vector<std::string>(lTokens.begin(), lTokens.end()), c.vTokens) << c.sText;
    }
}

TEST(Split, AppendsToWhatTheContainerHolds) {
    std::vector<std::string> vTokens = {"x", "y", "z"};
    EXPECT_EQ(Split("a\tb", "\t", vTokens), 5);
    EXPECT_EQ(vTokens.back(), "b");
    std::list<std::string> lTokens = {"x", "y", "z"};
    EXPECT_EQ(Split("a\tb", "\t", lTokens), 5);
}

TEST(SetFileExtension, ReplacesOnlyTheLastComponentsExtension) {
    struct Case {
        std::string sPath, sExtension, sResult;
    };
    const Case cases[] = {
        {"run.old/file", "txt", "run.old/file.txt"},
        {"file.sam", ".txt", "file.txt"},
        {"file", "txt", "file.txt"},
        {"a.b.c", "d", "a.b.d"},
        {"dir\\x.y\\file", "txt", "dir\\x.y\\file.txt"},
        {"/data/run.sam", "log", "/data/run.log"},
    };
    for (const Case& c : cases) {
        std::string sPath = c.sPath;
        SetFileExtension(sPath, c.sExtension);
        EXPECT_EQ(sPath, c.sResult) << c.sPath;
    }
    std::string sPath = "file.sam";
    EXPECT_THROW(SetFileExtension(sPath, ""), std::out_of_range);
    EXPECT_EQ(sPath, "file");
}

TEST(StringEndsWith, CaseAndLengths) {
    struct Case {
        std::string sText, sSuffix;
        bool bIgnoreCase, bResult;
    };
    const Case cases[] = {
        {"READS.SAM", ".sam", false, false}, {"READS.SAM", ".sam", true, true}, {"reads.sam", ".sam", false, true},
        {"reads.sam", "", false, true},      {"sam", "reads.sam", true, false}, {"a.sam.gz", ".sam", false, false},
        {".sam.sam", ".sam", false, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StringEndsWith(c.sText, c.sSuffix, c.bIgnoreCase), c.bResult) << c.sText << " " << c.sSuffix;
}

TEST(ConvertS, PaddingAndDefaultFormatting) {
    struct Case {
        int iValue, iWidth;
        std::string sText;
    };
    const Case cases[] = {
        {7, 3, "007"}, {42, 3, "042"}, {1234, 3, "1234"}, {-7, 3, "-07"}, {0, 3, "000"}, {5, 0, "5"}, {-15, 0, "-15"},
    };
    for (const Case& c : cases) EXPECT_EQ(convertS(c.iValue, c.iWidth), c.sText) << c.iValue << " " << c.iWidth;
    EXPECT_EQ(convertS(2), "2");
    EXPECT_EQ(convertS(-15), "-15");
}

TEST(MinValue, SmallestElement) {
    EXPECT_EQ(min_value({3, 1, 2}), 1);
    EXPECT_EQ(min_value({-5}), -5);
    EXPECT_EQ(min_value({2, 2, 9, -1}), -1);
}
