// The program run as a user runs it: its command line, and whole runs on a copy of
// tests/data/example.sam, undivided and in parts.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <functional>
#include <thread>

#include "TestHelpers.h"

const std::string BANNER = "KORVEX v2.0.0 -- probabilities of the alignments of multireads\n";

// Without arguments: the usage that --help begins with, then no wait, whether standard input
// ends or stays open.
TEST(Cli, NoArgumentPrintsUsageAndReturnsAtOnce) {
    TempDir helpDir;
    const std::string sHelp = RunKorvex(helpDir.Path(), {"--help"}).sStdout;
    for (const std::string sInput : {"y\n", ""}) {  // an answer, or the end of input
        TempDir dir;
        ProgramResult result = RunKorvex(dir.Path(), {}, sInput);
        EXPECT_EQ(result.iExitStatus, 1);
        EXPECT_EQ(result.sStderr, sHelp.substr(0, sHelp.find("korvex --version\n") + 17));
        EXPECT_EQ(result.sStderr.rfind(BANNER + "\nUsage:\n  korvex [-q] [-t N] [-o PATH] CONFIG", 0), 0u) << result.sStderr;
        EXPECT_EQ(result.sStdout, "");
        EXPECT_TRUE(FileNames(dir.Path()).empty());
    }
    TempDir dir;  // a pipe that stays open and never delivers a character: timeout's 124 if it waited
    EXPECT_EQ(RunShell("cd " + dir.Path() + " && mkfifo in && timeout 20 " + KORVEX_BINARY + " <>in >/dev/null 2>&1"), 1);
}

// Help and version print and stop. Each refusal, and each run that finds nothing to do, says why
// in the last line on standard error, also in the log when one exists. None writes an output file.
TEST(Cli, HelpRefusalsAndEmptyRunsWriteNoOutput) {
    const std::string sRecord = "\t4\tc1\t1\t255\t36M\t*\t0\t0\t" + std::string(36, 'A') + "\t" + std::string(36, 'I') + "\n";
    const std::string sNoLine = "process2: the SAM file (example.sam) has no usable alignment line: ";
    const std::string sNotStandardOutput =
        "would write a file named -, not standard output, which carries the summary: name a file (./- if that name "
        "is meant)";
    struct Case {
        std::vector<std::string> vArgs;
        int iExit;
        std::string sLastLine;
        const char* sLog;  // none when null
        std::string sStdoutStart = "", sSam = "";  // sSam: the example when empty
    };
    const Case cases[] = {
        {{"--help"}, 0, "", nullptr, BANNER + "\nUsage:\n"}, {{"-h"}, 0, "", nullptr, BANNER},
        {{"run.cfg", "NUM_THREADS=2", "--help"}, 0, "", nullptr, BANNER}, {{"--version"}, 0, "", nullptr, "KORVEX v2.0.0\n"},
        {{"merge", "--help"}, 0, "", nullptr, "Usage: korvex merge CONFIG NPARTS [KEY=VALUE ...]\n"},
        {{"absent.cfg"}, 1, "main: the configuration file (absent.cfg) could not be opened: No such file or directory", nullptr},
        {{"run.cfg", "NUM_THREADS=1025"}, 1, "main: NUM_THREADS = 1025 is outside 1 to 1024", "run.log"},
        {{"run.cfg", "2", "3"}, 1, "main: PART_TO_RUN = 3 (the part argument) is outside 1 to 2 (NUM_PARTS)",
         "run.part1of2.log"},  // the refused part keeps its default
        {{"run.cfg", "-x"}, 1, "main: unknown option -x (korvex --help lists the options)", nullptr},
        {{"run.cfg", "1", "1", "2"}, 1,
         "main: argument 2 is not KEY=VALUE: only settings may follow CONFIG [nparts [part]]", nullptr},
        {{"merge", "run.cfg"}, 1, "merge: usage: korvex merge CONFIG NPARTS [KEY=VALUE ...]", nullptr},
        {{"merge", "run.cfg", "0"}, 1, "merge: NUM_PARTS = 0 must be at least 1", "run.merge.log"},
        {{"run.cfg", "LOG_FILENAME=-"}, 1, "main: LOG_FILENAME = - " + sNotStandardOutput, nullptr},
        {{"merge", "run.cfg", "2", "LOG_FILENAME=-"}, 1, "merge: LOG_FILENAME = - " + sNotStandardOutput, nullptr},
        {{"merge", "run.cfg", "2"}, 1,
         "KORVEX v2.0.0: part 1 of 2 is missing: (example.part1of2.sam+) is not there; run that part first",
         "run.merge.log"},
        {{"run.cfg", "MAP_FILENAME="}, 1, "KORVEX v2.0.0: process2: no SAM file was given: set MAP_FILENAME", "run.log"},
        {{"run.cfg", "MAP_FILENAME=/proc/self/mem"}, 1,
         "KORVEX v2.0.0: the SAM file (/proc/self/mem) cannot be read: Input/output error", "run.log"},
        {{"run.cfg"}, 0, sNoLine + "all 3 alignment lines were rejected (the reasons are listed above). No output was "
         "written.", "run.log", "", "@HD\tVN:1.0\na" + sRecord + "b" + sRecord + "short\tline\n"},
        {{"run.cfg"}, 0, sNoLine + "it holds no alignment line, only header lines or none. No output was "
         "written.", "run.log", "", "@HD\tVN:1.0\n@SQ\tSN:c1\tLN:100\n"}};
    for (const Case& c : cases) {
        ExampleDir dir("LOG_FILENAME=run.log\nMAP_FILENAME=example.sam\nSTRANDNESS_OPTION=OFF\n");
        if (!c.sSam.empty()) WriteFile(dir.File("example.sam"), c.sSam);
        ProgramResult result = dir.Run(c.vArgs);
        EXPECT_EQ(result.iExitStatus, c.iExit) << c.sLastLine;
        EXPECT_EQ(LastLine(result.sStderr), c.sLastLine);
        EXPECT_EQ(result.sStdout.rfind(c.sStdoutStart, 0), 0u) << result.sStdout;
        EXPECT_EQ(FileNames(dir.Path()).size(), c.sLog ? 3u : 2u) << c.sLastLine;  // run.cfg, example.sam, the log
        if (c.sLog) { EXPECT_NE(ReadFile(dir.File(c.sLog)).find("  " + c.sLastLine + "\n"), std::string::npos); }
    }
    TempDir dir;  // warnings first, then every refusal; nothing of them on standard output
    WriteFile(dir.File("run.cfg"), "STRANDNESS_OPTION=OFF\nTOTAL_ITERATION=50\nNUM_THREADS=four\n");
    ProgramResult result = RunKorvex(dir.Path(), {"run.cfg", "POLYMORPHISM_RATE=1.5"});
    EXPECT_EQ(result.sStderr, "main: run.cfg: TOTAL_ITERATION: unknown key; did you mean TOTAL_ITERATIONS?\n"
                              "main: NUM_THREADS = four is not a whole number\n"
                              "main: POLYMORPHISM_RATE = 1.5 is outside 0 to 1 (exclusive)\n");
    EXPECT_EQ(result.sStdout, "\n" + BANNER + "\n");
    EXPECT_NE(ReadFile(dir.File("Logger.out")).find("main: failed to find MAP_FILENAME in Input file (run.cfg)\n"),
              std::string::npos);
}

// Reads, sequences, settings and alignments given in each other's place: one line on standard
// error naming the file and what it looks like, status 1, whether the file or standard input.
TEST(Cli, InputThatIsNotAlignmentsIsRefusedInOneLine) {
    const std::string sFastq = "@r1\nACGT\n+\nIIII\n", sSam = ReadFile(TestDataPath("example.sam"));
    const std::string sNotInput = "KORVEX v2.0.0: the SAM file (", sNotConfig = "main: the configuration file (data) looks like ";
    const std::string sReads = ", not alignments: align the reads first and give the aligner's SAM, BAM or CRAM output";
    const std::string sGiveConfig = ", not KEY=VALUE lines: give the configuration file first and the alignments as MAP_FILENAME";
    const struct { std::string sData; std::vector<std::string> vArgs; std::string sError; bool bStdin = false; } cases[] = {
        {sFastq, {"run.cfg"}, sNotInput + "data) looks like FASTQ reads" + sReads},
        {sFastq, {"run.cfg", "MAP_FILENAME=-"}, sNotInput + "-) looks like FASTQ reads" + sReads, true},
        {">chr1\nACGTACGT\n", {"run.cfg"}, sNotInput + "data) looks like FASTA sequences" + sReads},
        {"# settings\n\nSTRANDNESS_OPTION=ON\n", {"run.cfg"}, sNotInput + "data) looks like a configuration file "
         "(STRANDNESS_OPTION= on its first line of settings), not alignments: give the SAM, BAM or CRAM file as MAP_FILENAME"},
        {sSam, {"data"}, sNotConfig + "a SAM file" + sGiveConfig},
        {sSam.substr(sSam.find("\nr") + 1), {"data"}, sNotConfig + "a SAM file" + sGiveConfig},
        {std::string("\x1f\x8b\x08\x04\0\0", 6), {"data"},
         sNotConfig + "compressed data (gzip or BGZF, as a BAM file or compressed SAM)" + sGiveConfig},
        {"CRAM\3\0", {"data"}, sNotConfig + "a CRAM file" + sGiveConfig},
        {sFastq, {"data"}, sNotConfig + "FASTQ reads" + sGiveConfig}};
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir.File("run.cfg"), "MAP_FILENAME=data\nSTRANDNESS_OPTION=OFF\n");
        WriteFile(dir.File("data"), c.sData);
        const ProgramResult result = RunKorvex(dir.Path(), c.vArgs, c.bStdin ? c.sData : "");
        EXPECT_EQ(result.iExitStatus, 1) << c.sError;
        EXPECT_EQ(result.sStderr, c.sError + "\n");
    }
}

// A record that the tagged output could not take ends the run before Step 2, on one thread and
// on two, naming the line; nothing is written.
TEST(Cli, RecordsTheTaggedOutputCannotTakeEndTheRunBeforeTheWork) {
    const std::string sSam = ReadFile(TestDataPath("example.sam")) + "r9\t0\tchr1\n";
    const int iLine = static_cast<int>(SplitLines(sSam).size());
    for (const char* sThreads : {"NUM_THREADS=1", "NUM_THREADS=2"}) {
        TempDir dir;
        WriteFile(dir.File("run.cfg"), "MAP_FILENAME=reads.sam\nSTRANDNESS_OPTION=OFF\nLOG_FILENAME=run.log\n");
        WriteFile(dir.File("reads.sam"), sSam);
        const ProgramResult result = RunKorvex(dir.Path(), {"run.cfg", "OUTPUT_FORMAT=BAM", sThreads});
        EXPECT_EQ(result.iExitStatus, 1) << sThreads;
        EXPECT_NE(result.sStderr.find("(reads.sam), line " + std::to_string(iLine) + ": the record cannot be read as SAM"),
                  std::string::npos) << result.sStderr;
        EXPECT_EQ(ReadFile(dir.File("run.log")).find("==> Step 2"), std::string::npos) << sThreads;
        EXPECT_FALSE(FileExists(dir.File("reads.korvex.bam")));
    }
}

// The options that set a key, and the traps of a first run: a part whose configuration file
// divides the run otherwise, and a key mistyped on the command line, are refused with the fix.
TEST(Cli, OptionsAndFirstRunTraps) {
    const std::string sDivided = "main: the configuration file (run.cfg) sets ";
    const std::string sFix = ", but the command line runs a part of a divided run: remove NUM_PARTS and PART_TO_RUN "
                             "from the configuration file and give them on the command line (korvex run.cfg NPARTS PART)";
    const struct { std::string sConfig; std::vector<std::string> vArgs; int iExit; std::string sLastLine, sOutput = ""; } cases[] = {
        {"NUM_PARTS=1\nPART_TO_RUN=1\n", {"run.cfg", "3", "2"}, 1, sDivided + "NUM_PARTS = 1 and PART_TO_RUN = 1" + sFix},
        {"PART_TO_RUN=1\n", {"run.cfg", "NUM_PARTS=3"}, 1, sDivided + "PART_TO_RUN = 1" + sFix},
        {"NUM_PARTS=3\nPART_TO_RUN=2\n", {"run.cfg", "3", "2"}, 0, "", "example.part2of3.sam+"},
        {"NUM_PARTS=1\nPART_TO_RUN=1\n", {"run.cfg", "NUM_PARTS=3", "PART_TO_RUN=2"}, 0, "", "example.part2of3.sam+"},
        {"", {"run.cfg", "TOTAL_ITERATION=500"}, 1,
         "main: TOTAL_ITERATION: unknown key; did you mean TOTAL_ITERATIONS? (on the command line; korvex --help "
         "lists the keys)"},
        {"TOTAL_ITERATION=500\n", {"run.cfg", "-o", "o.sam+"}, 0, "", "o.sam+"},  // in the file: a warning
        {"", {"-t", "2", "run.cfg", "--output=p.sam+"}, 0, "", "p.sam+"},
        {"", {"run.cfg", "-t"}, 1, "main: option -t needs a value: -t N sets NUM_THREADS"},
        {"", {"run.cfg", "--threads", "two"}, 1, "main: NUM_THREADS = two is not a whole number"},
        {"", {"run.cfg", "--thread=2"}, 1, "main: unknown option --thread=2 (korvex --help lists the options)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vArgs.back());
        ExampleDir dir("LOG_FILENAME=run.log\nMAP_FILENAME=example.sam\nSTRANDNESS_OPTION=OFF\nMULTIQC=0\n" + c.sConfig);
        const ProgramResult result = dir.Run(c.vArgs);
        EXPECT_EQ(result.iExitStatus, c.iExit);
        if (c.iExit != 0) { EXPECT_EQ(LastLine(result.sStderr), c.sLastLine); }
        for (const std::string& sFile : FileNames(dir.Path()))  // a refusal writes nothing but its log
            EXPECT_TRUE(c.iExit == 0 || sFile.find(".sam+") == std::string::npos) << sFile;
        if (!c.sOutput.empty()) { EXPECT_TRUE(FileExists(dir.File(c.sOutput + ".stats.json"))) << result.sStderr; }
    }
}

namespace fs = std::filesystem;

// A run or a merge never writes a file it reads, nor one file in two roles, by any name or link:
// refused with one line naming both, before the log exists and whether or not the settings are.
TEST(Cli, NoFileIsWrittenThatTheCommandReadsOrWritesElsewhere) {
    const std::string sLog = "main: the log file (", sChoose = ": choose another LOG_FILENAME";
    const struct { std::vector<std::string> vArgs; std::string sError; bool bStdin = false; } cases[] = {
        {{"run.cfg", "LOG_FILENAME=example.sam"}, sLog + "example.sam) is the SAM file (example.sam)" + sChoose},
        {{"MAP_FILENAME=example.sam", "STRANDNESS_OPTION=OFF", "LOG_FILENAME=link.log"},
         sLog + "link.log) is the SAM file (example.sam)" + sChoose},
        {{"run.cfg", "LOG_FILENAME=hard.log", "NUM_THREADS=0"}, sLog + "hard.log) is the SAM file (example.sam)" + sChoose},
        {{"run.cfg", "OUTPUT_FILE=o.sam+", "LOG_FILENAME=o.sam+"}, sLog + "o.sam+) is the output file (o.sam+)" + sChoose},
        {{"run.cfg", "LOG_FILENAME=run.cfg"}, sLog + "run.cfg) is the configuration file (run.cfg)" + sChoose},
        {{"run.cfg", "OUTPUT_FILE=./link.log"},
         "main: the output file (./link.log) is the SAM file (example.sam): choose another OUTPUT_FILE"},
        {{"run.cfg", "3", "2", "LOG_FILENAME=example.sam+"},
         sLog + "example.part2of3.sam+) is the output file (example.part2of3.sam+)" + sChoose},
        {{"run.cfg", "3", "2", "PART_OUTPUT=VALUES", "LOG_FILENAME=example.sam+.values.manifest"},
         sLog + "example.part2of3.sam+.values.manifest) is the manifest (example.part2of3.sam+.values.manifest)" + sChoose},
        {{"MAP_FILENAME=-", "STRANDNESS_OPTION=OFF", "LOG_FILENAME=stdin.sam+"},
         sLog + "stdin.sam+) is the output file (stdin.sam+)" + sChoose, true},
        {{"merge", "run.cfg", "3", "LOG_FILENAME=m.log"},
         "merge: the log file (m.merge.log) is part 1's output file (example.part1of3.sam+)" + sChoose},
        {{"merge", "run.cfg", "3", "OUTPUT_FILE=example.sam"},
         "merge: the output file (example.sam) is the SAM file (example.sam): choose another OUTPUT_FILE"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sError);
        ExampleDir dir("MAP_FILENAME=example.sam\nSTRANDNESS_OPTION=OFF\n");
        fs::create_symlink("example.sam", dir.File("link.log"));
        fs::create_hard_link(dir.File("example.sam"), dir.File("hard.log"));
        fs::create_symlink("example.part1of3.sam+", dir.File("m.merge.log"));
        const std::set<std::string> vBefore = FileNames(dir.Path());
        const std::string sConfig = ReadFile(dir.File("run.cfg"));
        const ProgramResult result = RunKorvex(dir.Path(), c.vArgs, c.bStdin ? ReadFile(dir.File("example.sam")) : "");
        EXPECT_EQ(result.iExitStatus, 1);
        EXPECT_EQ(result.sStderr, c.sError + "\n");
        EXPECT_EQ(FileNames(dir.Path()), vBefore);
        EXPECT_EQ(ReadFile(dir.File("example.sam")), ReadFile(TestDataPath("example.sam")));
        EXPECT_EQ(ReadFile(dir.File("run.cfg")), sConfig);
    }
}

// A BOTH SAMplus line with only the value of column 1 or 2 kept.
std::string KeepColumn(const std::string& sLine, int iColumn) {
    const std::size_t iSecond = sLine.rfind('\t', sLine.size() - 2), iFirst = sLine.rfind('\t', iSecond - 1);
    return sLine.substr(0, iFirst + 1) +
           (iColumn == 1 ? sLine.substr(iFirst + 1, iSecond - iFirst) : sLine.substr(iSecond + 1));
}

// The SAMplus file of the example at the default settings is checked in: any change of a number
// shows here (regenerate it only for an intended change of the results). Other thread and job
// counts (up to 1024 jobs on two threads), and the same settings on the command line alone, give
// the same bytes; PROP keeps the unique-read share and BAYES the posterior of BOTH. Quiet, the console shows the summary alone.
TEST(Pipeline, GoldenFileWhateverTheThreadsJobsAndMode) {
    const std::string sGolden = ReadFile(TestDataPath("golden/example_default.sam+"));
    const std::vector<std::string> vGolden = SplitLines(sGolden);
    const struct { std::vector<std::string> vArgs; std::string sThreads; int iColumn; bool bQuiet, bMultiqc = true; } cases[] = {
        {{"run.cfg"}, "1", 0, false}, {{"run.cfg", "-t", "2"}, "2", 0, false},  // iColumn 0: both kept
        {{"run.cfg", "NUM_THREADS=7", "-q", "MULTIQC=0"}, "2", 0, true, false},
        {{"run.cfg", "--threads", "64"}, "2", 0, false}, {{"run.cfg", "NUM_THREADS=1024"}, "2", 0, false},
        {{"MAP_FILENAME=example.sam", "STRANDNESS_OPTION=OFF", "QUIET=1"}, "2", 0, true},
        {{"run.cfg", "PROB_OUTPUT=PROP"}, "2", 1, false},
        {{"run.cfg", "PROB_OUTPUT=BAYES", "--threads=4"}, "2", 2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vArgs.back());
        ExampleDir dir("MAP_FILENAME=example.sam\nSTRANDNESS_OPTION=OFF\n");
        const ProgramResult run = dir.Run(c.vArgs, {"OMP_NUM_THREADS=" + c.sThreads});
        EXPECT_EQ(run.iExitStatus, 0) << run.sStderr;
        std::set<std::string> vFiles{"run.cfg", "Logger.out", "example.sam", "example.sam+", "example.sam+.stats.json"};
        for (const char* pSection : {"general", "fates", "top_value"})
            if (c.bMultiqc) vFiles.insert("example.korvex_" + std::string(pSection) + "_mqc.json");
        EXPECT_EQ(FileNames(dir.Path()), vFiles);
        if (c.bQuiet) {
            EXPECT_EQ(run.sStdout.substr(0, run.sStdout.find("  wall time")),
                      "\nSummary\n  lines read:        3,481\n  lines rejected:    1\n    unmapped: 1 (first at line 2,323)\n"
                      "  reads dropped:     182\n    reads whose best alignment has more mismatches than "
                      "MAX_NUM_MISMATCHES_FOR_TOP_HITS: 34 (first at line 95)\n    reads with more alignments than "
                      "MAX_ALIGNMENTS: 148 (first at line 24)\n  lines dropped:     13\n    alignment lines with more "
                      "mismatches than the best + EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS: 13 (first at line 770)\n"
                      "  unique reads:      1,665\n  multireads scored: 56 with 2, 16 with 3, 11 with 4, 66 with 5 "
                      "alignments\n  output:            example.sam+\n  reports:           example.sam+.stats.json" +
                          std::string(c.bMultiqc ? ", example.korvex_general_mqc.json, example.korvex_fates_mqc.json, "
                                                   "example.korvex_top_value_mqc.json\n" : "\n"));
        } else {
            EXPECT_EQ(run.sStdout.find(BANNER), 1u);
        }
        const std::string sSamplus = ReadFile(dir.File("example.sam+"));
        if (c.iColumn == 0) { EXPECT_EQ(sSamplus, sGolden); }
        const std::vector<std::string> vLines = SplitLines(sSamplus);
        ASSERT_EQ(vLines.size(), vGolden.size());
        for (std::size_t i = 0; i < vLines.size() && c.iColumn > 0; ++i) EXPECT_EQ(vLines[i], KeepColumn(vGolden[i], c.iColumn));
    }
}

// A run reading standard input gives the same file, named after it, and leaves no copy of the input.
TEST(Pipeline, StandardInput) {
    ExampleDir dir("MAP_FILENAME=-\nSTRANDNESS_OPTION=OFF\n");
    TempDir tmp;
    ASSERT_EQ(RunKorvex(dir.Path(), {"run.cfg"}, ReadFile(dir.File("example.sam")), {"TMPDIR=" + tmp.Path()}).iExitStatus, 0);
    EXPECT_EQ(ReadFile(dir.File("stdin.sam+")), ReadFile(TestDataPath("golden/example_default.sam+")));
    EXPECT_TRUE(FileNames(tmp.Path()).empty());
}

const std::string PARTS = "LOG_FILENAME=run.log\nMAP_FILENAME=example.sam\nSTRANDNESS_OPTION=OFF\nNUM_THREADS=2\n"
                          "TOTAL_ITERATIONS=100\nBURNIN_ITERATIONS=20\n";

// Runs the three parts at once, as a cluster's job array starts them.
void RunPartsAtOnce(const ExampleDir& dir) {
    std::vector<std::thread> vParts;
    std::vector<int> vStatus(3, -1);
    for (int k = 1; k <= 3; ++k)
        vParts.emplace_back([&, k] { vStatus[k - 1] = dir.Run({"run.cfg", "3", std::to_string(k)}).iExitStatus; });
    for (std::thread& part : vParts) part.join();
    EXPECT_EQ(vStatus, (std::vector<int>{0, 0, 0}));
}

// The text with one digit changed: the last one that sAfter follows.
std::string WithOneDigitChanged(std::string sText, const std::string& sAfter) {
    std::size_t i = sText.size();
    while (i-- > 0 && !(std::isdigit(static_cast<unsigned char>(sText[i])) && sText.compare(i + 1, sAfter.size(), sAfter) == 0)) {}
    sText[i] = sText[i] == '9' ? '8' : static_cast<char>(sText[i] + 1);
    return sText;
}

// A manifest as an earlier build wrote it: without the checksums of the whole input and output,
// and without the run's figures.
std::string AsAnEarlierBuildWroteIt(const std::string& sManifest) {
    std::string sOld;
    for (const std::string& sLine : SplitLines(sManifest))
        if (sLine.find("_crc32\t") == std::string::npos && sLine.find("input_content_bytes\t") == std::string::npos &&
            sLine.rfind("figure_", 0) != 0)
            sOld += sLine + "\n";
    return sOld;
}

// The merge of the parts is byte for byte the file of a whole run, whatever the parts write;
// the parts' files carry the part in their names and no intermediate file is left. A part whose
// manifest an earlier build wrote merges with a warning; a part changed in place, its size kept
// (a value's digit, or a byte of a BAM block header that the decoder does not check), is refused.
// The summary on a command's standard output, up to its wall time; empty when there is none.
static std::string SummaryFigures(const std::string& sStdout) {
    const std::size_t iStart = sStdout.find("Summary\n"), iEnd = sStdout.find("  wall time");
    return iStart < iEnd && iEnd != std::string::npos ? sStdout.substr(iStart, iEnd - iStart) : "";
}

TEST(Parts, MergeGivesTheFileOfAWholeRunFromUnchangedPartsAlone) {
    const struct { const char* sSetting; const char* sOutput; std::string sPartFile, sAfterDigit; } cases[] = {
        {"", "example.sam+", "example.part2of3.sam+", "\t\n"},
        {"PART_OUTPUT=VALUES\n", "example.sam+", "example.part2of3.sam+.values", "\n"},
        {"OUTPUT_FORMAT=BAM\n", "example.korvex.bam", "example.part2of3.korvex.bam", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sPartFile);
        ExampleDir dir(PARTS + c.sSetting);
        const ProgramResult whole = dir.Run({"run.cfg"});
        ASSERT_EQ(whole.iExitStatus, 0);
        fs::rename(dir.File(c.sOutput), dir.File("whole"));
        RunPartsAtOnce(dir);
        const std::string sKilled = std::string(c.sOutput) + ".tmpAbC123";  // what a killed merge left
        WriteFile(dir.File(sKilled), "cut short");
        const ProgramResult merged = dir.Run({"merge", "run.cfg", "3"});
        ASSERT_EQ(merged.iExitStatus, 0) << ReadFile(dir.File("run.merge.log"));
        EXPECT_NE(merged.sStderr.find("/" + sKilled + ") is an output that a stopped run did not finish"),
                  std::string::npos) << merged.sStderr;
        fs::remove(dir.File(sKilled));
        EXPECT_EQ(ReadFile(dir.File(c.sOutput)), ReadFile(dir.File("whole")));
        EXPECT_NE(SummaryFigures(whole.sStdout), "");
        EXPECT_EQ(SummaryFigures(merged.sStdout), SummaryFigures(whole.sStdout));  // the merge's from the manifests
        const std::set<std::string> vFiles = FileNames(dir.Path());
        for (const std::string& sFile : {c.sPartFile, c.sPartFile + ".manifest", std::string("run.part2of3.log")})
            EXPECT_EQ(vFiles.count(sFile), 1u) << sFile;
        for (const std::string& sFile : vFiles) EXPECT_EQ(sFile.find("tmp"), std::string::npos) << sFile;

        const std::string sPart = dir.File(c.sPartFile), sManifest = ReadFile(sPart + ".manifest");
        WriteFile(sPart + ".manifest", AsAnEarlierBuildWroteIt(sManifest));
        fs::remove(dir.File(c.sOutput));
        const ProgramResult old = dir.Run({"merge", "run.cfg", "3"});
        EXPECT_EQ(old.iExitStatus, 0);
        for (const char* pWarning : {") records no checksum of the whole input and output", ") records no figures"})
            EXPECT_NE(old.sStderr.find("merge: the manifest (" + c.sPartFile + ".manifest" + pWarning),
                      std::string::npos) << old.sStderr;
        EXPECT_EQ(ReadFile(dir.File(c.sOutput)), ReadFile(dir.File("whole")));
        EXPECT_EQ(SummaryFigures(old.sStdout), "");
        EXPECT_FALSE(FileExists(dir.File(std::string(c.sOutput) + ".stats.json")));

        WriteFile(sPart + ".manifest", sManifest);
        std::string sChanged = ReadFile(sPart);
        if (c.sAfterDigit.empty())
            sChanged[9] = static_cast<char>(sChanged[9] ^ 1);  // the operating system of the first block
        else
            sChanged = WithOneDigitChanged(sChanged, c.sAfterDigit);
        WriteFile(sPart, sChanged);
        fs::remove(dir.File(c.sOutput));
        const ProgramResult changed = dir.Run({"merge", "run.cfg", "3"});
        EXPECT_EQ(changed.iExitStatus, 1);
        EXPECT_NE(LastLine(changed.sStderr).find("the part (" + c.sPartFile + ") is not the file its manifest"),
                  std::string::npos) << changed.sStderr;
        EXPECT_FALSE(FileExists(dir.File(c.sOutput)));
    }
}

// A merge refuses, naming the file, parts that are missing, doubled, damaged, or from other
// settings or another input.
TEST(Parts, MergeRefusesPartsThatDoNotBelongTogether) {
    ExampleDir dir(PARTS);
    RunPartsAtOnce(dir);
    auto Part = [&](int k) { return dir.File("example.part" + std::to_string(k) + "of3.sam+"); };
    const std::string sKeep = dir.File("keep");
    fs::create_directory(sKeep);
    for (int k = 1; k <= 3; ++k)
        for (const std::string& sFile : {Part(k), Part(k) + ".manifest"}) fs::copy(sFile, sKeep);
    const auto overwrite = fs::copy_options::overwrite_existing | fs::copy_options::recursive;
    // Manifests of builds before MAX_ALIGNMENTS have none: their parts kept at most 5 alignments;
    // before MAX_FRAGMENT_LENGTH they read no pairs, so any limit gives their numbers.
    for (int k = 1; k <= 3; ++k) {
        std::string sManifest = ReadFile(Part(k) + ".manifest");
        for (const std::string sEntry : {"MAX_ALIGNMENTS\t5\n", "MAX_FRAGMENT_LENGTH\t1000\n"}) {
            const std::size_t iEntry = sManifest.find(sEntry);
            ASSERT_NE(iEntry, std::string::npos) << sEntry;
            sManifest.erase(iEntry, sEntry.size());
        }
        WriteFile(Part(k) + ".manifest", sManifest);
    }
    EXPECT_EQ(dir.Run({"merge", "run.cfg", "3"}).iExitStatus, 0);
    fs::remove(dir.File("example.sam+"));
    const struct { std::function<void()> change; const char* pSetting; std::string sError; } cases[] = {
        {[&] { fs::remove(Part(2)); }, "", "part 2 of 3 is missing: (example.part2of3.sam+) is not there; its log "
                                           "(run.part2of3.log) is there: the part has run, or is running, and wrote no "
                                           "output; its log says why"},
        {[&] { for (const char* pEnd : {"", ".manifest"}) fs::copy_file(Part(1) + pEnd, Part(2) + pEnd, overwrite); },
         "", "is that of part 1, not of part 2: a part is given twice"},
        {[] {}, "PART_OUTPUT=VALUES", "(example.part1of3.sam+.values) is not there, but (example.part1of3.sam+) is, "
                                      "written with PART_OUTPUT=FULL: merge with PART_OUTPUT=FULL"},
        {[] {}, "TOTAL_ITERATIONS=99", "was computed with TOTAL_ITERATIONS = 100, but this merge has TOTAL_ITERATIONS = 99"},
        {[] {}, "MAX_ALIGNMENTS=6", "was computed with MAX_ALIGNMENTS = 5, but this merge has MAX_ALIGNMENTS = 6"},
        {[&] { std::string s = ReadFile(Part(3)); WriteFile(Part(3), s.substr(0, s.size() - 3)); }, "",  // a value cut
         "(example.part3of3.sam+) has 518318 bytes, but its manifest says 518321: it was cut short"},
        {[&] { WriteFile(dir.File("example.sam"), ReadFile(TestDataPath("example.sam")) + "\n"); }, "",  // the last
         "was computed with input_size = 492716, but this merge has input_size = 492717"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sError);
        fs::copy(sKeep, dir.Path(), overwrite);
        c.change();
        std::vector<std::string> vArgs = {"merge", "run.cfg", "3"};
        if (*c.pSetting) vArgs.push_back(c.pSetting);
        ProgramResult result = dir.Run(vArgs);
        EXPECT_EQ(result.iExitStatus, 1);
        EXPECT_NE(LastLine(result.sStderr).find(c.sError), std::string::npos) << result.sStderr;
        EXPECT_FALSE(FileExists(dir.File("example.sam+")));
    }
}

// The input changed in its middle between the parts and the merge, its size and modification
// time kept, beyond the megabytes at its ends that the merge's first check reads: the merge reads
// it whole and refuses it.
TEST(Parts, MergeRefusesAnInputChangedInItsMiddle) {
    ExampleDir dir(PARTS);
    const std::string sExample = ReadFile(dir.File("example.sam"));
    const std::size_t iRecords = sExample.find("\nr0") + 1;
    std::string sPadding;  // unmapped reads, which Step 1 counts and passes over
    for (int i = 0; i < 12000; ++i)
        sPadding += "pad" + std::to_string(i) + "\t4\t*\t0\t0\t*\t*\t0\t0\t" + std::string(36, 'A') + "\t" + std::string(36, 'I') + "\n";
    const std::string sInput = sExample.substr(0, iRecords) + sPadding + sExample.substr(iRecords) + sPadding;
    WriteFile(dir.File("example.sam"), sInput);
    RunPartsAtOnce(dir);

    const fs::file_time_type modified = fs::last_write_time(dir.File("example.sam"));
    std::string sChanged = sInput;
    const std::size_t iFlag = sChanged.find("\t0\tchr", sInput.size() / 2 - 100000);
    ASSERT_LT(iFlag, sInput.size() / 2);
    sChanged[iFlag + 1] = '4';  // now unmapped
    WriteFile(dir.File("example.sam"), sChanged);
    fs::last_write_time(dir.File("example.sam"), modified);

    const ProgramResult result = dir.Run({"merge", "run.cfg", "3"});
    EXPECT_EQ(result.iExitStatus, 1);
    EXPECT_NE(LastLine(result.sStderr).find("the SAM file (example.sam) has changed: read again, its content (CRC-32 "),
              std::string::npos) << result.sStderr;
    EXPECT_NE(LastLine(result.sStderr).find("differs from what the parts read, as the manifest (example.part1of3.sam+"
                                            ".manifest) records"), std::string::npos);
    EXPECT_FALSE(FileExists(dir.File("example.sam+")));
}

// The stats file of a merge holds the figures of a whole run: the parts' counts of multireads and
// top values add up to them, and the figures of the input are every part's. Parts whose figures
// disagree, or a damaged entry, are refused, and the merge then leaves no stats file.
TEST(Parts, StatsOfAMergeAreThoseOfAWholeRun) {
    ExampleDir dir(PARTS + "PROB_OUTPUT=BAYES\n");
    ASSERT_EQ(dir.Run({"run.cfg"}).iExitStatus, 0);
    fs::rename(dir.File("example.sam+.stats.json"), dir.File("whole.json"));
    RunPartsAtOnce(dir);
    ASSERT_EQ(dir.Run({"merge", "run.cfg", "3"}).iExitStatus, 0);
    WriteFile(dir.File("check.py"), R"(import json
whole, merged = [json.load(open(name)) for name in ("whole.json", "example.sam+.stats.json")]
parts = [json.load(open("example.part%dof3.sam+.stats.json" % k)) for k in (1, 2, 3)]
for key in ("lines_read", "lines_rejected", "rejected", "dropped", "unique_reads", "multireads_scored",
            "top_value_of", "top_value_bins", "multireads_resolved", "share_resolved"):
    assert whole[key] == merged[key], key
    assert key not in ("lines_read", "rejected", "dropped", "unique_reads") or all(p[key] == merged[key] for p in parts), key
assert [p["part"] for p in parts] == [1, 2, 3] and merged["command"] == "merge" and whole["command"] == "run"
assert [sum(p["top_value_bins"][i] for p in parts) for i in range(10)] == merged["top_value_bins"]
total = merged["multireads_scored"]["total"]
assert sum(p["multireads_scored"]["total"] for p in parts) == total == sum(merged["top_value_bins"]) > 0
assert merged["top_value_of"] == "posterior" and merged["settings"]["TOTAL_ITERATIONS"] == 100
)");
    EXPECT_EQ(RunShell("cd " + dir.Path() + " && python3 check.py"), 0);

    // A part that reports other figures of the input, and a damaged entry, both naming the manifests.
    const std::string sManifest = dir.File("example.part2of3.sam+.manifest"), sText = ReadFile(sManifest);
    const struct { const char* pKey; const char* pInserted; const char* pError; } cases[] = {
        {"figure_unique_reads\t", "7", "(example.part2of3.sam+.manifest) disagree on the figures of the input"},
        {"figure_first_line_rejected_unmapped\t", "x", "(example.part2of3.sam+.manifest): "
                                                       "figure_first_line_rejected_unmapped is not a count"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pKey);
        const std::size_t iValue = sText.find(c.pKey) + std::string(c.pKey).size();
        ASSERT_LT(iValue, sText.size());
        WriteFile(sManifest, sText.substr(0, iValue) + c.pInserted + sText.substr(iValue));
        for (const char* pFile : {"example.sam+", "example.sam+.stats.json"}) fs::remove(dir.File(pFile));
        const ProgramResult changed = dir.Run({"merge", "run.cfg", "3"});
        EXPECT_EQ(changed.iExitStatus, 1);
        EXPECT_NE(changed.sStderr.find(c.pError), std::string::npos) << changed.sStderr;
        EXPECT_FALSE(FileExists(dir.File("example.sam+")) || FileExists(dir.File("example.sam+.stats.json")));
    }
}
