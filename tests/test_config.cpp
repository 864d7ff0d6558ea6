#include <gtest/gtest.h>
#include <tuple>
#include "ConfigFileReader.h"
#include "StringUtils.h"
#include "TestHelpers.h"

TEST(ConfigFileReader, SyntaxAndTypedLookups) {
    const std::tuple<std::string, std::size_t, std::string> cases[] = {  // file, pairs, ToString()
        {" \tNUM_THREADS \t= \t4 \t# four threads\n# comment\n\n \t \n   # indented\nMAP_FILENAME = run#2.sam\n"
         "NUM_THREADS: 4\n", 2, "  MAP_FILENAME = run\n  NUM_THREADS = 4\n"},
        {"A=1\nB=2\nA=3\nX = a=b\n=5\nKEY=\nMY KEY = my  value\na=1\n_=3\n", 8,  // the last A wins; byte order
         "   = 5\n  A = 3\n  B = 2\n  KEY = \n  MY KEY = my  value\n  X = a=b\n  _ = 3\n  a = 1\n"},
        {"NUM_THREADS=4\r\nMAP_FILENAME=x.sam\r\n", 2, "  MAP_FILENAME = x.sam\r\n  NUM_THREADS = 4\r\n"},
        {"A=1\nB=2", 2, "  A = 1\n  B = 2\n"}};  // the last line needs no line end
    TempDir dir;
    for (const auto& [sFile, iPairs, sTable] : cases) {
        WriteFile(dir.File("run.cfg"), sFile);
        ConfigFileReader config(dir.File("run.cfg"));
        EXPECT_EQ(config.ReadInputFile(), iPairs) << sFile;
        EXPECT_EQ(config.ToString(), sTable) << sFile;
    }
    EXPECT_EQ(ConfigFileReader(dir.File("absent.cfg")).ReadInputFile(), 0u);
    WriteFile(dir.File("run.cfg"), "TOTAL_ITERATIONS=abc\nSUFFIX=12abc\nRATE=0.25\nBAD_RATE=x0.5\nEMPTY=\nCRLF=4\r\n"
                                   "MAP_FILENAME=my file.sam\n");
    ConfigFileReader config(dir.File("run.cfg"));
    config.ReadInputFile();  // each key is read as int (was 1000), double (was 0.5) and string (was "old")
    const std::pair<const char*, const char*> lookups[] = {{"TOTAL_ITERATIONS", "1000 0.5 abc"},
        {"SUFFIX", "12 12 12abc"}, {"RATE", "0 0.25 0.25"}, {"BAD_RATE", "1000 0.5 x0.5"}, {"EMPTY", "1000 0.5 old"},
        {"CRLF", "4 4 4"}, {"MAP_FILENAME", "1000 0.5 my"}, {"total_iterations", "1000 0.5 old"}};  // case counts
    for (const auto& [sKey, sExpected] : lookups) {
        int iValue = 1000;
        double dValue = 0.5;
        std::string sValue = "old";
        bool bFound = config.GetValue(sKey, iValue) && config.GetValue(sKey, dValue) && config.GetValue(sKey, sValue);
        EXPECT_EQ(bFound, std::string(sKey) != "total_iterations") << sKey;
        EXPECT_EQ(convertS(iValue) + " " + convertS(dValue) + " " + sValue, sExpected) << sKey;
    }
}
