#include <gtest/gtest.h>
#include <stdexcept>
#include "StringUtils.h"
#include "utils.h"

TEST(StringUtils, TokensFileNamesAndNumbers) {
    struct Case { std::string sText, sDelimiter, sToken, sRest; std::vector<std::string> vFields; };
    const Case cases[] = {
        {"ab", "\t", "", "ab", {"ab"}},                    // no delimiter: no token, rest is the whole input
        {"\ta\t\tc\t", "\t", "", "a\t\tc\t", {"a", "c"}},  // empty fields: rest is shorter; Split drops them
        {"a::b:c::", "::", "a", "b:c::", {"a", "b:c"}},    // a multi-character delimiter is one piece
        {"abc", "", "", "abc", {"abc"}}};
    for (const Case& c : cases) {
        std::string sRest;
        EXPECT_EQ(GetNextToken(c.sText, c.sDelimiter, sRest) + "|" + sRest, c.sToken + "|" + c.sRest) << c.sText;
        std::vector<std::string> vTokens = {"x", "y", "z"};  // Split appends and counts what was there
        EXPECT_EQ(Split(c.sText, c.sDelimiter, vTokens), static_cast<int>(3 + c.vFields.size())) << c.sText;
        EXPECT_EQ(std::vector<std::string>(vTokens.begin() + 3, vTokens.end()), c.vFields) << c.sText;
    }
    std::string sDir = "run.old/file", sSam = "file.sam";
    SetFileExtension(sDir, "txt");
    EXPECT_THROW(SetFileExtension(sSam, ""), std::out_of_range);  // after the old extension went
    SetFileExtension(sSam, ".txt");
    EXPECT_EQ(sDir + " " + sSam, "run.old/file.txt file.txt");
    EXPECT_TRUE(StringEndsWith("READS.SAM", ".sam", true) && StringEndsWith(".sam.sam", ".sam", false));
    EXPECT_FALSE(StringEndsWith("READS.SAM", ".sam", false) || StringEndsWith("sam", "reads.sam", true));
    EXPECT_EQ(convertS(-7, 3) + " " + convertS(0, 3), "-07 000");
}
