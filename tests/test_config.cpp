#include <gtest/gtest.h>

#include "ConfigFileReader.h"
#include "TestHelpers.h"

namespace {

// Writes text to a configuration file and reads it.
struct ReadConfig {
    TempDir dir;
    ConfigFileReader config;
    std::size_t iPairs;
    explicit ReadConfig(const std::string& text) : config(dir.File("run.cfg")) {
        WriteFile(dir.File("run.cfg"), text);
        iPairs = config.ReadInputFile();
    }
};

}  // namespace

TEST(ConfigFileReader, Syntax) {
    struct Case {
        const char* sName;
        std::string sFile;
        std::size_t iPairs;
        std::string sTable;  // ToString() after reading
    };
    const Case cases[] = {
        {"bare pair", "NUM_THREADS=4\n", 1, "  NUM_THREADS = 4\n"},
        {"blanks and tabs", " \tNUM_THREADS \t= \t4 \t\n", 1, "  NUM_THREADS = 4\n"},
        {"trailing comment", "NUM_THREADS=4 # four threads\n", 1, "  NUM_THREADS = 4\n"},
        {"comments and blank lines", "# comment\n\n \t \n   # indented comment\nA=1\n", 1, "  A = 1\n"},
        {"'#' ends a value", "MAP_FILENAME = run#2.sam\n", 1, "  MAP_FILENAME = run\n"},
        {"no separator", "NUM_THREADS: 4\n", 0, ""},
        {"last occurrence wins", "A=1\nB=2\nA=3\n", 2, "  A = 3\n  B = 2\n"},
        {"'=' inside a value", "X = a = b\n", 1, "  X = a = b\n"},
        {"empty key and empty value", "=5\nKEY=\n", 2, "   = 5\n  KEY = \n"},
        {"byte-wise key order", "a=1\nB=2\n_=3\n", 3, "  B = 2\n  _ = 3\n  a = 1\n"},
        {"inner blanks kept", "MY KEY = my  value\n", 1, "  MY KEY = my  value\n"},
        {"Windows line ends", "NUM_THREADS=4\r\nMAP_FILENAME=x.sam\r\n", 2,
         "  MAP_FILENAME = x.sam\r\n  NUM_THREADS = 4\r\n"},
        {"last line without line end", "A=1\nB=2", 2, "  A = 1\n  B = 2\n"},
        {"only line without line end", "A=1", 1, "  A = 1\n"},
        {"empty file", "", 0, ""},
    };
    for (const Case& c : cases) {
        ReadConfig read(c.sFile);
        EXPECT_EQ(read.iPairs, c.iPairs) << c.sName;
        EXPECT_EQ(read.config.ToString(), c.sTable) << c.sName;
    }
}

TEST(ConfigFileReader, MissingFileGivesAnEmptyTable) {
    TempDir dir;
    ConfigFileReader config(dir.File("absent.cfg"));
    EXPECT_EQ(config.ReadInputFile(), 0u);
    EXPECT_EQ(config.ToString(), "");
    EXPECT_EQ(config.Filename(), dir.File("absent.cfg"));
    int iValue = 7;
    EXPECT_FALSE(config.GetValue("NUM_THREADS", iValue));
    EXPECT_EQ(iValue, 7);
}

TEST(ConfigFileReader, IntLookupsKeepTheDefaultWhenTheTextIsNoNumber) {
    struct Case {
        std::string sValue;
        int iExpected;
    };
    const Case cases[] = {
        {"12", 12}, {"12abc", 12}, {"12.7", 12}, {"-3", -3}, {"\t 7", 7}, {"abc", 1000}, {"", 1000}, {"4\r", 4},
    };
    for (const Case& c : cases) {
        ReadConfig read("TOTAL_ITERATIONS=" + c.sValue + "\n");
        int iTotalIterations = 1000;
        EXPECT_TRUE(read.config.GetValue("TOTAL_ITERATIONS", iTotalIterations)) << c.sValue;
        EXPECT_EQ(iTotalIterations, c.iExpected) << c.sValue;
    }
}

TEST(ConfigFileReader, DoubleAndStringLookups) {
    ReadConfig read(
        "POLYMORPHISM_RATE=0.25\nBAD_RATE=x0.5\nSMALL=1e-3\nMAP_FILENAME=my file.sam\nEMPTY=\nCRLF=x.sam\r\n");
    double dRate = 0.1;
    EXPECT_TRUE(read.config.GetValue("POLYMORPHISM_RATE", dRate));
    EXPECT_EQ(dRate, 0.25);
    EXPECT_TRUE(read.config.GetValue("BAD_RATE", dRate));
    EXPECT_EQ(dRate, 0.25);
    EXPECT_TRUE(read.config.GetValue("SMALL", dRate));
    EXPECT_EQ(dRate, 1e-3);

    std::string sValue = "Logger.out";
    EXPECT_TRUE(read.config.GetValue("MAP_FILENAME", sValue));
    EXPECT_EQ(sValue, "my");
    EXPECT_TRUE(read.config.GetValue("EMPTY", sValue));
    EXPECT_EQ(sValue, "my");
    EXPECT_TRUE(read.config.GetValue("CRLF", sValue));
    EXPECT_EQ(sValue, "x.sam");
}

TEST(ConfigFileReader, KeysAreCaseSensitiveAndNotTrimmed) {
    ReadConfig read("num_threads=4\n");
    int iNumThreads = 1;
    EXPECT_FALSE(read.config.GetValue("NUM_THREADS", iNumThreads));
    EXPECT_FALSE(read.config.GetValue(" num_threads", iNumThreads));
    EXPECT_EQ(iNumThreads, 1);
    EXPECT_TRUE(read.config.GetValue("num_threads", iNumThreads));
    EXPECT_EQ(iNumThreads, 4);
}
