// The configuration file, the settings table (checks, precedence, unknown keys, help, the manual
// page), and what the user sees during the run: the progress reporter, the end-of-run summary and the log.
#include <gtest/gtest.h>
#include <omp.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "EndOfRunWarnings.h"
#include "JsonText.h"
#include "Logger.h"
#include "ManPage.h"
#include "Progress.h"
#include "Settings.h"
#include "SummaryText.h"
#include "TestHelpers.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Sources with STRANDNESS_OPTION=OFF in the file unless the file pairs say otherwise.
SettingSources Sources(const Pairs& vFile, const Pairs& vCommandLine = {}, const char* pNparts = "", const char* pPart = "") {
    SettingSources sources{"run.cfg", {{"STRANDNESS_OPTION", "OFF"}}, vCommandLine, pNparts, pPart, {}};
    for (const auto& [sKey, sValue] : vFile) sources.filePairs[sKey] = sValue;
    return sources;
}

}  // namespace

TEST(Settings, ConfigurationFileSyntax) {
    using Map = std::map<std::string, std::string>;
    const std::pair<std::string, Map> cases[] = {
        {" \tNUM_THREADS \t= \t4 \t# four threads\n# comment\n\n \t \n   # indented\nMAP_FILENAME = run#2.sam\n"
         "NUM_THREADS: 4\n", {{"MAP_FILENAME", "run"}, {"NUM_THREADS", "4"}}},
        {"A=1\nB=2\nA=3\nX = a=b\n=5\nKEY=\nMY KEY = my  value\n_=3\nlast=1",  // the last A wins; no final line end
         {{"", "5"}, {"A", "3"}, {"B", "2"}, {"KEY", ""}, {"MY KEY", "my  value"}, {"X", "a=b"}, {"_", "3"}, {"last", "1"}}},
        {"NUM_THREADS=4\r\nB = x \r\n", {{"B", "x"}, {"NUM_THREADS", "4"}}},
        {"\xEF\xBB\xBFMAP_FILENAME=a.sam\nB=\xEF\xBB\xBF\n", {{"MAP_FILENAME", "a.sam"}, {"B", "\xEF\xBB\xBF"}}}};
    TempDir dir;
    SettingSources sources;
    sources.sConfigFile = dir.File("run.cfg");
    for (const auto& [sFile, expected] : cases) {
        WriteFile(dir.File("run.cfg"), sFile);
        EXPECT_EQ(ReadConfigurationFile(sources), "");
        EXPECT_EQ(sources.filePairs, expected) << sFile;
    }
    // A control character other than a tab or the CR of a CR LF line end: the file is refused.
    const std::pair<std::string, std::string> refusals[] = {
        {std::string("NUM_THREADS=2\0" "3\n", 16), "line 1 holds a control character (byte 0x00)"},
        {"A=1\r\nB=\x01\n", "line 2 holds a control character (byte 0x01)"},
        {"A=1\rB=2\n", "line 1 holds a control character (byte 0x0d)"},
        {"A=1\n# \x1b[31m\n", "line 2 holds a control character (byte 0x1b)"},
        {"A=1\nB=2\x7f", "line 2 holds a control character (byte 0x7f)"}};
    for (const auto& [sFile, sRefusal] : refusals) {
        WriteFile(dir.File("run.cfg"), sFile);
        EXPECT_EQ(ReadConfigurationFile(sources), "the configuration file (" + sources.sConfigFile + "), " + sRefusal +
                                                      ", which no setting may hold");
    }
    // Blank lines of a CR LF file are blank, and a warning quotes no CR. A key set again to
    // another value is named with both lines; set again to the same value, it is not.
    WriteFile(dir.File("run.cfg"), "A=1\r\n\r\n \r\n  TOTAL_ITERATIONS 20  # twenty\r\nA = 1\r\nA=2\r\nB=\nB=x\n");
    ReadConfigurationFile(sources);
    EXPECT_EQ(sources.vFileWarnings, (std::vector<std::string>{
              sources.sConfigFile + ", line 4: \"TOTAL_ITERATIONS 20\" is not KEY=VALUE; the line is ignored",
              sources.sConfigFile + ", line 6: A is set again (line 5: 1); the last value, 2, is used",
              sources.sConfigFile + ", line 8: B is set again (line 7: \"\"); the last value, x, is used"}));
    // A pipe, as bash's <(...) gives, is read whole: checking it first takes nothing from it.
    int aiPipe[2];
    ASSERT_EQ(pipe(aiPipe), 0);
    const std::string sPiped = "STRANDNESS_OPTION=ON\n";
    ASSERT_EQ(write(aiPipe[1], sPiped.data(), sPiped.size()), static_cast<ssize_t>(sPiped.size()));
    close(aiPipe[1]);
    sources.sConfigFile = "/proc/self/fd/" + std::to_string(aiPipe[0]);
    EXPECT_EQ(ReadConfigurationFile(sources), "");
    close(aiPipe[0]);
    EXPECT_EQ(sources.filePairs, (std::map<std::string, std::string>{{"STRANDNESS_OPTION", "ON"}}));
}

TEST(Settings, EveryRefusalNamesTheKeyTheValueAndWhatIsAllowed) {
    struct Case { SettingSources sources; std::vector<std::string> vErrors; };
    const Case cases[] = {
        {Sources({{"NUM_THREADS", "four"}}), {"NUM_THREADS = four is not a whole number"}},
        {Sources({{"NUM_THREADS", "1024"}}, {{"NUM_THREADS", "1025"}}), {"NUM_THREADS = 1025 is outside 1 to 1024"}},
        {Sources({{"NUM_THREADS", "0"}}), {"NUM_THREADS = 0 is outside 1 to 1024"}},
        {Sources({{"POLYMORPHISM_RATE", "abc"}}), {"POLYMORPHISM_RATE = abc is not a number"}},
        {Sources({{"POLYMORPHISM_RATE", "1.5"}}), {"POLYMORPHISM_RATE = 1.5 is outside 0 to 1 (exclusive)"}},
        {Sources({{"POLYMORPHISM_RATE", "0"}}), {"POLYMORPHISM_RATE = 0 is outside 0 to 1 (exclusive)"}},
        {Sources({{"MAX_NUM_MISMATCHES_FOR_TOP_HITS", "11"}, {"EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS", "-1"},
                  {"MAX_ALIGNMENTS", "1"}}),
         {"MAX_NUM_MISMATCHES_FOR_TOP_HITS = 11 is outside 0 to 10",
          "EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS = -1 is outside 0 to 10", "MAX_ALIGNMENTS = 1 is outside 2 to 100"}},
        {Sources({{"TOTAL_ITERATIONS", "1e4"}, {"SEQ_FLANKING_VALUE", "12abc"}}),  // one line each, table order
         {"SEQ_FLANKING_VALUE = 12abc is not a whole number", "TOTAL_ITERATIONS = 1e4 is not a whole number"}},
        {Sources({{"TOTAL_ITERATIONS", "1"}}), {"TOTAL_ITERATIONS = 1 is outside 2 to 10000000"}},
        {Sources({{"TOTAL_ITERATIONS", "2147483647"}}), {"TOTAL_ITERATIONS = 2147483647 is outside 2 to 10000000"}},
        {Sources({{"TOTAL_ITERATIONS", "3000000000"}}), {"TOTAL_ITERATIONS = 3000000000 is outside 2 to 10000000"}},
        {Sources({{"TOTAL_ITERATIONS", "abc"}, {"BURNIN_ITERATIONS", "5000"}}),  // no bound known: no range refusal
         {"TOTAL_ITERATIONS = abc is not a whole number"}},
        {Sources({{"TOTAL_ITERATIONS", "abc"}, {"BURNIN_ITERATIONS", "10000001"}}),  // but its own bound holds
         {"TOTAL_ITERATIONS = abc is not a whole number", "BURNIN_ITERATIONS = 10000001 is outside 0 to 10000000"}},
        {Sources({{"BURNIN_ITERATIONS", "1001"}}), {"BURNIN_ITERATIONS = 1001 is outside 0 to 1000 (TOTAL_ITERATIONS)"}},
        // Found by fuzz_config: a default above the key that bounds it ran and wrote 0 as every posterior.
        {Sources({{"TOTAL_ITERATIONS", "100"}}),
         {"BURNIN_ITERATIONS = 200 (the default) is outside 0 to 100 (TOTAL_ITERATIONS)"}},
        {Sources({{"NUM_PARTS", "2"}, {"PART_TO_RUN", "3"}}), {"PART_TO_RUN = 3 is outside 1 to 2 (NUM_PARTS)"}},
        {Sources({}, {}, "abc"), {"NUM_PARTS = abc (the nparts argument) is not a whole number"}},
        {Sources({{"MAP_FILENAME", "-"}}, {}, "2", "1"),
         {"MAP_FILENAME = - (standard input) cannot be divided into NUM_PARTS = 2 parts: their merge must read the "
          "input again; save it to a file first"}},
        {Sources({}, {}, "3", "0"), {"PART_TO_RUN = 0 (the part argument) is outside 1 to 3 (NUM_PARTS)"}},
        {Sources({{"NUM_THREADS", "99999999999"}}), {"NUM_THREADS = 99999999999 is outside 1 to 1024"}},
        {Sources({{"NUM_THREADS", ""}}), {"NUM_THREADS = \"\" is not a whole number"}},
        {Sources({}, {{"OUTPUT_FILE", "my run.sam"}}), {"OUTPUT_FILE = my run.sam holds a blank, which no path may hold"}},
        {Sources({{"LOG_FILENAME", "-"}}, {{"OUTPUT_FILE", "-"}}),
         {"OUTPUT_FILE = - would write a file named -, not standard output, which carries the summary: name a file "
          "(./- if that name is meant)",
          "LOG_FILENAME = - would write a file named -, not standard output, which carries the summary: name a file "
          "(./- if that name is meant)"}},
        {Sources({{"PROB_OUTPUT", "bayes"}}), {"PROB_OUTPUT = bayes must be BOTH, BAYES or PROP"}},
        {Sources({{"STRANDNESS_OPTION", "on"}, {"QUIET", "yes"}}),
         {"STRANDNESS_OPTION = on must be ON or OFF", "QUIET = yes must be 0 or 1"}},
        {Sources({{"OUTPUT_FORMAT", "bam"}, {"PART_OUTPUT", "ALL"}}),
         {"OUTPUT_FORMAT = bam must be SAMPLUS, SAM, BAM or CRAM", "PART_OUTPUT = ALL must be FULL or VALUES"}},
        {SettingSources(), {"STRANDNESS_OPTION is missing: it must be ON or OFF"}}};
    for (const Case& c : cases) EXPECT_EQ(SettleSettings(c.sources).vErrors, c.vErrors) << c.vErrors.front();
}

TEST(Settings, CommandLineWinsOverTheFileWhichWinsOverThePositionalArguments) {
    const SettledSettings settled = SettleSettings(Sources(
        {{"NUM_PARTS", "4"}, {"NUM_THREADS", " 2\r"}, {"LOG_FILENAME", "my run.log"}, {"PROB_OUTPUT", "PROP"}},
        {{"NUM_THREADS", "5"}, {"POLYMORPHISM_RATE", "0.25"}, {"NUM_THREADS", "6"}, {"OUTPUT_FORMAT", "CRAM"},
         {"QUIET", "1"}, {"STRANDNESS_OPTION", "ON"}}, "4", "2"));
    ASSERT_TRUE(settled.vErrors.empty()) << settled.vErrors.front();
    const RunSettings& s = settled.settings;
    EXPECT_EQ(std::vector<int>({s.nparts, s.part, s.iNumThreads, s.iTotalIterations}), std::vector<int>({4, 2, 6, 1000}));
    EXPECT_EQ(s.dPolymorphismRate, 0.25);
    EXPECT_EQ(s.sLogFilename, "my");  // the first word of a path
    EXPECT_TRUE(s.strandness && s.bQuiet && s.outputFormat == OutputFormat::Cram);
    EXPECT_TRUE(s.probMode == ProbMode::Proportional && s.partOutput == PartOutput::Full);
    for (const char* sPiece :
         {"Contents of the configuration file (run.cfg): \n  LOG_FILENAME = my run.log\n  NUM_PARTS = 4\n",
          "\n\nSettings on the command line (they win over the file): \n  NUM_THREADS = 5\n",
          "\n\nSettings in force: \n  LOG_FILENAME = my  (file)\n", "  STRANDNESS_OPTION = ON  (command line)\n",
          "  NUM_PARTS = 4  (file)\n  PART_TO_RUN = 2  (part argument)\n  NUM_THREADS = 6  (command line)\n",
          "  MAP_FILENAME = (none)  (default)\n", "  POLYMORPHISM_RATE = 0.25  (command line)\n"})
        EXPECT_NE(settled.sDump.find(sPiece), std::string::npos) << sPiece << "\nis not in:\n" << settled.sDump;
    EXPECT_EQ(settled.vMissing.front(), "failed to find MAX_NUM_MISMATCHES_FOR_TOP_HITS in Input file (run.cfg)");
    EXPECT_EQ(settled.vWarnings,
              (std::vector<std::string>{"LOG_FILENAME = my run.log: a path is the first word of its value, so my is "
                                        "used and the rest is ignored",
                                        "NUM_THREADS is given again on the command line (5, then 6); the last value is "
                                        "used"}));
}

TEST(Settings, ArgumentsUnknownKeysAndHelp) {
    SettingSources sources;
    EXPECT_EQ(ParseArguments({"run.cfg", "4", "2", "NUM_THREADS=3", "MAP_FILENAME=a=b.sam", "-q"}, false, sources), "");
    EXPECT_EQ(sources.sConfigFile + " " + sources.sNparts + " " + sources.sPart, "run.cfg 4 2");
    EXPECT_EQ(sources.vCommandLinePairs, (Pairs{{"NUM_THREADS", "3"}, {"MAP_FILENAME", "a=b.sam"}, {"QUIET", "1"}}));
    EXPECT_EQ(ParseArguments({"A=1", "run.cfg"}, false, sources),
              "argument run.cfg is not KEY=VALUE: only settings may follow the first setting");
    const SettledSettings unknown = SettleSettings(Sources({{"zeta", "1"}, {"TOTAL_ITERATION", "5"}}, {{"QUITE", "1"}}));
    EXPECT_EQ(unknown.vWarnings, (std::vector<std::string>{"run.cfg: TOTAL_ITERATION: unknown key; did you mean "
                                                           "TOTAL_ITERATIONS?", "run.cfg: zeta: unknown key"}));
    EXPECT_EQ(unknown.vErrors, (std::vector<std::string>{"QUITE: unknown key; did you mean QUIET? (on the command line; "
                                                         "korvex --help lists the keys)"}));
    // Every key is in --help and in the README's table, which allows what --help allows.
    const std::string sHelp = HelpText(), sReadme = ReadFile(std::string(KORVEX_TEST_DATA) + "/../../README.md");
    auto Plain = [](std::string sText) {  // without backticks, "A or B" as "A, B"
        sText.erase(std::remove(sText.begin(), sText.end(), '`'), sText.end());
        for (std::size_t i = sText.find(" or "); i != std::string::npos; i = sText.find(" or ")) sText.replace(i, 4, ", ");
        return sText;
    };
    for (const std::string& sName : SettingNames()) {
        const std::size_t iHelp = sHelp.find("\n  " + sName + " ("), iRow = sReadme.find("| `" + sName + "` |");
        ASSERT_NE(iHelp, std::string::npos) << sName;
        ASSERT_NE(iRow, std::string::npos) << sName;
        const std::string sHelpLine = sHelp.substr(iHelp, sHelp.find('\n', iHelp + 1) - iHelp);
        const std::string sAllowed = sHelpLine.substr(sHelpLine.find("; ") + 2, sHelpLine.size() - sHelpLine.find("; ") - 3);
        std::vector<std::string> vColumns;  // Key, Default, Allowed, Meaning
        std::istringstream row(sReadme.substr(iRow + 1, sReadme.find('\n', iRow) - iRow - 1));
        for (std::string sColumn; std::getline(row, sColumn, '|');) vColumns.push_back(sColumn);
        ASSERT_GE(vColumns.size(), 3u) << sName;
        EXPECT_EQ(Plain(vColumns[2]), " " + Plain(sAllowed) + " ") << sName;
    }
    EXPECT_NE(sHelp.find("  TOTAL_ITERATIONS (1000; 2 to 10000000)\n"), std::string::npos) << sHelp;
}

// The manual page lists every key with the default and range that --help gives, and roff reads
// none of its text as a request or an escape.
TEST(ManPage, EveryKeyOfTheSettingsTableAndTextKeptLiteral) {
    const std::pair<std::string, std::string> cases[] = {
        {"-q --help", "\\-q \\-\\-help"}, {"C:\\dir", "C:\\edir"}, {".x\n'y\nz.'", "\\&.x\n\\&'y\nz.'"}};
    for (const auto& [sText, sRoff] : cases) EXPECT_EQ(RoffEscape(sText), sRoff) << sText;
    const std::string sPage = ManPageText();
    const std::vector<SettingHelp> vSettings = HelpContentsOfSettings().vSettings;
    ASSERT_EQ(vSettings.size(), SettingNames().size());
    for (const SettingHelp& setting : vSettings) {
        const std::size_t iEntry = sPage.find(".TP\n\\fB" + setting.sName + "\\fR\n");
        ASSERT_NE(iEntry, std::string::npos) << setting.sName;
        const std::string sEntry = sPage.substr(iEntry, sPage.find("\n.TP\n", iEntry + 1) - iEntry);
        EXPECT_NE(sEntry.find("\n.br\n" + RoffEscape("Default: " + setting.sDefault + ". Allowed: " + setting.sAllowed)),
                  std::string::npos)
            << sEntry;
    }
}

// A report at most every 10 s, with the time left; the last one on a terminal overwrites the line.
TEST(Progress, ReportsAtMostEveryIntervalWithTheTimeLeft) {
    double dNow = 100.0;
    for (const bool bTerminal : {false, true}) {
        std::ostringstream out;
        Progress progress(out, bTerminal, [&dNow] { return dNow; }, 10.0);
        dNow = 100.0;
        progress.Start(52129);
        for (const auto& [dAt, iDone] : {std::pair(5.0, 1000), {10.0, 11345}, {15.0, 1000}, {30.0, 38784}}) {
            dNow = 100.0 + dAt;
            progress.Add(iDone);
        }
        progress.Finish();
        const std::string sFirst = "Step 2: 12,345 of 52,129 multireads (23.7 %), about 32 s left",
                          sSecond = "Step 2: 52,129 of 52,129 multireads (100.0 %), about 0 s left",
                          sLast = "Step 2: 52,129 of 52,129 multireads, done in 30 s";
        EXPECT_EQ(out.str(), bTerminal ? "\r" + sFirst + "\r" + sSecond + "\r" + sLast + std::string(12, ' ') + "\n"
                                       : sFirst + "\n" + sSecond + "\n" + sLast + "\n");
    }
    std::ostringstream quiet;  // a run shorter than the interval reports nothing
    Progress shortRun(quiet, false, [] { return 0.0; }, 10.0);
    shortRun.Start(10);
    shortRun.Add(10);
    shortRun.Finish();
    EXPECT_EQ(quiet.str(), "");
    EXPECT_EQ(Progress::ReportText(0, 5, 3.0), "Step 2: 0 of 5 multireads (0.0 %), time left not yet known");
    EXPECT_EQ(FormatDuration(100.4) + ", " + FormatDuration(7530), "1 min 40 s, 2 h 5 min");
}

TEST(RunSummary, Format) {
    RunSummary summary;
    summary.iLinesRead = 1234567;
    summary.vRejected = {{"non-standard format", 12, 7}, {"unmapped", 3, 1001}};
    summary.vDropped = {{"reads over the limit", 20, 9, 30, true}, {"lines over the limit", 2, 40, 2, false}};
    summary.iUniqueReads = 1500;
    summary.vMultireadsScored = {0, 0, 2199, 0, 0, 4, 0, 0, 0, 7, 0};  // empty containers are left out
    summary.vOutputFiles = {"reads.sam+"};
    summary.dWallSeconds = 0.456;
    EXPECT_EQ(FormatRunSummary(summary, 16000),
              "Summary\n  lines read:        1,234,567\n  lines rejected:    15\n"
              "    non-standard format: 12 (first at line 7)\n    unmapped: 3 (first at line 1,001)\n"
              "  reads dropped:     20\n    reads over the limit: 20 (first at line 9)\n"
              "  lines dropped:     2\n    lines over the limit: 2 (first at line 40)\n"
              "  unique reads:      1,500\n  multireads scored: 2,199 with 2, 4 with 5, 7 with 9 alignments\n"
              "  output:            reads.sam+\n  wall time:         0.46 s\n  peak memory:       15.6 MiB\n");
    EXPECT_GT(PeakMemoryKibibytes(), 0);
}

// Which end-of-run warnings a summary gives: one alignment per read, one reason for most lines.
TEST(RunSummary, EndOfRunWarnings) {
    struct Case {
        int64_t iSeveral;
        std::vector<RejectedLines> vRejected;
        std::vector<DroppedByKeepRules> vDropped;
        std::vector<std::string> vExpected;  // the start of each warning
    } aCases[] = {
        {5, {{"unmapped", 50, 3}}, {{"reads with more alignments than MAX_ALIGNMENTS", 10, 4, 50, true}}, {}},
        {0, {{"unmapped", 10, 3}}, {}, {"not a single read has two or more alignments"}},
        {5, {{"spliced", 51, 8}}, {}, {"51 of the 100 alignment lines (51.0 %) were rejected: spliced (first at line 8)"}},
        {5, {}, {{"reads with more alignments than MAX_ALIGNMENTS", 9, 4, 60, true}},
         {"60 of the 100 alignment lines (60.0 %) were dropped by the keep rules: reads with more"}},
        {0, {{"unmapped", 100, 1}}, {}, {}},
    };
    for (const Case& c : aCases) {
        RunSummary summary;
        summary.iAlignmentLines = 100;
        summary.iReadsWithSeveralAlignments = c.iSeveral;
        summary.vRejected = c.vRejected;
        summary.vDropped = c.vDropped;
        const std::vector<std::string> vWarnings = EndOfRunWarnings(summary);
        ASSERT_EQ(vWarnings.size(), c.vExpected.size()) << c.iSeveral;
        for (std::size_t i = 0; i < vWarnings.size(); ++i) EXPECT_EQ(vWarnings[i].rfind(c.vExpected[i], 0), 0u) << vWarnings[i];
    }
}

// A console whose first write throws through pThrow; later writes are kept.
// The stats file and the MultiQC sections hold paths and sample names: whatever their bytes, the
// text is valid JSON (UTF-8) that keeps the well-formed characters.
TEST(Reports, JsonStringsAreWellFormedUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\"b\\c\t\x7f", "\"a\\\"b\\\\c\\u0009\x7f\""},
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\xa7\xac", "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\xa7\xac\""},  // é € and a four-byte one
        {"lat\xe9.sam", "\"lat\\ufffd.sam\""},                                                 // Latin-1
        {"\xc3", "\"\\ufffd\""},                                                               // cut short
        {"\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80\x80",                                         // overlong, surrogate,
         "\"\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\""}};      // beyond U+10FFFF, lone
    for (const auto& [sText, sJson] : cases) EXPECT_EQ(JsonString(sText), sJson) << sText;
}

struct ThrowingConsole : std::streambuf {
    explicit ThrowingConsole(void (*pFirst)()) : pThrow(pFirst) {}
    int overflow(int c) override {
        if (void (*pNow)() = std::exchange(pThrow, nullptr)) pNow();
        sCollected += static_cast<char>(c);
        return c;
    }
    void (*pThrow)();
    std::string sCollected;
};

// The failed write leaves std::cout bad; what() makes it good again so that the report gets through.
template <class Base>
struct ConsoleError : Base {
    using Base::Base;
    const char* what() const noexcept override { std::cout.clear(); return Base::what(); }
};

// The layout of the log; then, each in a log started again, the console stream of each level.
TEST(Logger, LayoutLevelsAndQuiet) {
    TempDir dir;
    Logger logger;
    ASSERT_TRUE(logger.CreateOutFile(dir.File("run.log")));
    testing::internal::CaptureStdout();
    std::ostringstream message("\nKORVEX v2.0.0\n\n");
    EXPECT_TRUE(logger.Write(message, true));
    message << "main" << ": failed to find (" << 3 << ")" << std::endl;
    EXPECT_TRUE(logger.Write(message, true));
    EXPECT_TRUE(logger.Write(""));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nKORVEX v2.0.0\n\nmain: failed to find (3)\n");
    EXPECT_TRUE(message.good() && message.str().empty());
    EXPECT_EQ(MaskStamps(ReadFile(dir.File("run.log"))),  // a text that starts with a line end; an empty text
              "Log created: [STAMP]\n\nThr:0 [STAMP]  \nKORVEX v2.0.0\n\nThr:0 [STAMP]  main: failed to find (3)\n"
              "Thr:0 [STAMP]  ");
    const struct { LogLevel level; bool bQuiet, bStdout, bStderr; } cases[] = {
        {LogLevel::Detail, false, false, false}, {LogLevel::Info, false, true, false},
        {LogLevel::Info, true, false, false},    {LogLevel::Warning, true, false, true},
        {LogLevel::Error, true, false, true},    {LogLevel::Summary, true, true, false}};
    for (const auto& c : cases) {
        ASSERT_TRUE(logger.CreateOutFile());
        logger.SetQuiet(c.bQuiet);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        logger.Write("main: text\n", c.level);
        const std::string sStderr = testing::internal::GetCapturedStderr();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.bStdout ? "main: text\n" : "") << &c - cases;
        EXPECT_EQ(sStderr, c.bStderr ? "main: text\n" : "") << &c - cases;
        EXPECT_EQ(MaskStamps(ReadFile(dir.File("run.log"))), "Log created: [STAMP]\n\nThr:0 [STAMP]  main: text\n");
    }
}

TEST(Logger, WriteFailuresAreReportedOnTheConsoleAndReleaseTheLock) {
    TempDir dir;
    const std::string sLog = dir.File("run.log"), sNoDir = dir.File("no_such_dir/run.log");
    const std::string sCaught = "\nWrite: ERROR, We caught an exception while writing to the output file (" + sLog + "). \n";
    const std::string sFile = "main: first\n\nWrite: ERROR, The output file (";
    const struct { std::string sPath; void (*pThrow)(); bool bResult; std::string sConsole; } cases[] = {
        {sNoDir, nullptr, true, sFile + sNoDir + ") could not be opened for writing. \n"},
        {"/dev/full", nullptr, true, sFile + "/dev/full) could not be written completely. \n"},
        {sLog, [] { throw ConsoleError<std::runtime_error>("disk on fire"); }, false, sCaught + "disk on fire\n"},
        {sLog, [] { throw ConsoleError<std::logic_error>("not runtime"); }, false, sCaught + "not runtime\n"},
        {sLog, [] { throw 42; }, false, ""}};  // the console stays bad: the report cannot reach it
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Logger logger;
        EXPECT_EQ(logger.CreateOutFile(c.sPath), c.sPath == sLog);
        std::ostringstream message("main: first\n");
        ThrowingConsole console(c.pThrow);
        std::streambuf *pOld = std::cout.rdbuf(&console), *pOldErrors = std::cerr.rdbuf(&console);  // lost records too
        std::cout.exceptions(std::ios::badbit);  // lets the console's exception into Write
        EXPECT_EQ(logger.Write(message, true), c.bResult);
        EXPECT_EQ(console.sCollected, c.sConsole);
        std::cout.clear();  // still bad after the 42
#pragma omp parallel num_threads(2)
        logger.Write("after\n");  // the critical section was released: every thread can write again
        std::cout.rdbuf(pOld), std::cerr.rdbuf(pOldErrors), std::cout.exceptions(std::ios::goodbit);
        EXPECT_EQ(logger.LostRecords(), c.sPath != sLog);
        EXPECT_EQ(message.str(), c.bResult ? "" : "main: first\n");  // a failed text waits for the next Write
        if (c.sPath == sLog) { EXPECT_EQ(SplitLines(ReadFile(sLog)).size(), 4u); }  // the failed text never got in
    }
}

// Long two-line records from four threads: an unserialised Write interleaves them.
TEST(Logger, ConcurrentWritesGiveWholeRecords) {
    TempDir dir;
    Logger logger;
    ASSERT_TRUE(logger.CreateOutFile(dir.File("run.log")));
    const int iThreads = 4, iPerThread = 500;
    auto record = [](int iThread, int i) {
        return "worker: (" + std::to_string(iThread) + ") (" + std::to_string(i) + ") " + std::string(2000, 'x');
    };
    testing::internal::CaptureStdout();
#pragma omp parallel num_threads(iThreads)
    for (int i = 0; i < iPerThread; ++i) logger.Write(record(omp_get_thread_num(), i) + "\nsecond line\n");
    testing::internal::GetCapturedStdout();
    const std::vector<std::string> vLines = SplitLines(MaskStamps(ReadFile(dir.File("run.log"))));
    ASSERT_EQ(vLines.size(), 2u + 2u * iThreads * iPerThread);
    std::vector<int> viNext(iThreads, 0);  // each thread's records come in its own order
    for (std::size_t i = 2; i < vLines.size(); i += 2) {
        const int iThread = vLines[i].at(4) - '0';  // the prefix carries the writer's number; at() stops on garbage
        ASSERT_EQ(vLines[i], "Thr:" + std::to_string(iThread) + " [STAMP]  " + record(iThread, viNext.at(iThread)++));
        ASSERT_EQ(vLines[i + 1], "second line");
    }
}
