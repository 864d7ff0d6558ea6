// Input containers, the SAMplus and tagged outputs, and the values files of parts.
#include <gtest/gtest.h>
#include <htslib/sam.h>
#include <sys/stat.h>
#include <fcntl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>

#include "InputFile.h"
#include "LineSources.h"
#include "MapValueSource.h"
#include "OrderedBlocks.h"
#include "OutputWriters.h"
#include "PathNames.h"
#include "RunPlan.h"
#include "RunSettings.h"
#include "SamTextRecords.h"
#include "ValuesFile.h"
#include "TestHelpers.h"

const double NO_VALUE = std::numeric_limits<double>::quiet_NaN();  // a multiread of another part
// Values for two of every three record lines of the example, with exact fractions, tiny
// numbers, zeros and ones, and NaN now and then; BAYES gets the posterior in both columns.
ValueMap ExampleValues(const std::vector<std::string>& vLines, ProbMode mode = ProbMode::Both) {
    ValueMap values;
    for (int64_t iLine = 1; iLine <= static_cast<int64_t>(vLines.size()); ++iLine) {
        if (vLines[iLine - 1][0] == '@' || iLine % 3 == 0) continue;
        const double dShare = iLine % 11 == 0 ? NO_VALUE : static_cast<double>(iLine % 10) / 9.0;
        const double dPosterior = iLine % 17 == 0 ? NO_VALUE : iLine % 7 == 0 ? 1e-07 : 1.0 / (1 + iLine % 13);
        values[iLine] = {mode == ProbMode::Bayes ? dPosterior : dShare, dPosterior};
    }
    return values;
}

// Reports the first line that differs. bRecordsOnly: header lines may differ (a CRAM header names
// its reference), but not in number.
void ExpectSameLines(const std::vector<std::string>& vActual, const std::vector<std::string>& vExpected,
                     const std::string& sLabel, bool bRecordsOnly) {
    EXPECT_EQ(vActual.size(), vExpected.size()) << sLabel;
    for (std::size_t i = 0; i < std::min(vActual.size(), vExpected.size()); ++i) {
        if ((bRecordsOnly && vExpected[i][0] == '@') || vActual[i] == vExpected[i]) continue;
        ADD_FAILURE() << sLabel << ", line " << i + 1 << ":\n" << vActual[i] << "\ninstead of\n" << vExpected[i];
        return;
    }
}

// The lines and the content of the input as Step 1 reads them.
EarlierReading FirstReading(const InputFile& input, const InputOptions& options = {}) {
    std::unique_ptr<LineSource> pLines = OpenLineSource(input, options);
    int64_t iLines = 0;
    for (LineView line; pLines->NextLine(line);) ++iLines;
    return {iLines, pLines->Checksum()};
}

ContentChecksum ChecksumOf(const std::string& sPath) {
    const std::string sBytes = ReadFile(sPath);
    ContentChecksum checksum;
    checksum.Add(sBytes.data(), sBytes.size());
    return checksum;
}

// The example in every container, made once per test suite run in one directory, and a CRAM
// file made against a reference.
class Containers : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        pDir = new TempDir;
        WriteExampleContainers(*pDir);
        std::string sFasta;  // a reference of the example's lengths, all 'A'
        for (int i = 1; i <= 3; ++i) sFasta += ">chr" + std::to_string(i) + "\n" + std::string(10000 * (4 - i), 'A') + "\n";
        WriteFile(File("ref.fa"), sFasta);
        Convert(File("example.sam"), File("example.ref.cram"), "wc", File("ref.fa"));
    }
    static void TearDownTestSuite() { delete pDir; }
    static std::string File(const std::string& sName) { return pDir->File(sName); }
    static TempDir* pDir;
};
TempDir* Containers::pDir = nullptr;

// Every container gives the lines of the SAM file, and the default output is named after the input.
TEST_F(Containers, EveryContainerGivesTheSameLines) {
    struct Case { const char* sFile; InputFormat format; InputOptions options; OutputFormat output; const char* sOutput; };
    const Case cases[] = {
        {"example.sam", InputFormat::Sam, {}, OutputFormat::Samplus, "example.sam+"},
        {"example.sam.gz", InputFormat::CompressedSam, {}, OutputFormat::Samplus, "example.sam+"},
        {"example.sam.bgz", InputFormat::CompressedSam, {"", 2}, OutputFormat::Bam, "example.korvex.bam"},
        {"example.bam", InputFormat::Bam, {}, OutputFormat::Sam, "example.korvex.sam"},
        {"example.bam", InputFormat::Bam, {"", 2}, OutputFormat::Bam, "example.korvex.bam"},
        {"example.cram", InputFormat::Cram, {}, OutputFormat::Cram, "example.korvex.cram"},
        {"example.ref.cram", InputFormat::Cram, {File("ref.fa"), 1}, OutputFormat::Cram, "example.ref.korvex.cram"},
        {"example.ref.cram", InputFormat::Cram, {}, OutputFormat::Cram, "example.ref.korvex.cram"},  // the header's reference
    };
    const std::vector<std::string> vExpected = SplitLines(ReadFile(TestDataPath("example.sam")));
    for (const Case& c : cases) {
        InputFile input(File(c.sFile));
        EXPECT_EQ(input.Format(), c.format) << c.sFile;
        EXPECT_EQ(DefaultOutputPath(input, c.output), File(c.sOutput));
        ExpectSameLines(Drain(File(c.sFile), c.options), vExpected, c.sFile, std::string(c.sFile) == "example.ref.cram");
    }
    // Compressed text comes back byte for byte: carriage returns, empty lines, no final line end.
    WriteFile(File("odd.txt"), "a\r\n\n\tb \r\nc");
    Compress(File("odd.txt"), File("odd.gz"), "wg");
    EXPECT_EQ(Drain(File("odd.gz")), (std::vector<std::string>{"a\r", "", "\tb \r", "c"}));
}

// A part's own files and log carry ".partKofN" before the extensions; a merge's log ".merge".
TEST(RunPlan, NamesOfThePartsFilesAndLogs) {
    const struct { const char* sFinal; int iPart, iParts; bool bValues; const char* sOutput; } parts[] = {
        {"reads.sam+", 1, 1, true, "reads.sam+"},
        {"reads.sam+", 2, 3, false, "reads.part2of3.sam+"},
        {"my.dir/reads.korvex.bam", 3, 3, true, "my.dir/reads.part3of3.korvex.bam.values"},
        {"/.hidden", 1, 2, false, "/.hidden.part1of2"}};
    for (const auto& c : parts) {
        const PartFiles files = PartFilesOf(c.sFinal, c.iPart, c.iParts, c.bValues);
        EXPECT_EQ(files.sOutput, c.sOutput);
        EXPECT_EQ(files.sManifest, c.iParts == 1 ? "" : files.sOutput + ".manifest");
        EXPECT_EQ(files.bValuesOnly, c.bValues && c.iParts > 1);
    }
    RunSettings settings;
    settings.sLogFilename = "logs/run.log";
    settings.nparts = 4;
    settings.part = 2;
    EXPECT_EQ(LogFileName(false, settings) + " " + LogFileName(true, settings),
              "logs/run.part2of4.log logs/run.merge.log");
    EXPECT_EQ(DirectoryOf("a/b") + " " + DirectoryOf("b") + " " + DirectoryOf("/b"), "a . /");
    EXPECT_EQ(WithoutExtension("r.sam.gz", {".bgz", ".gz"}) + " " + WithoutExtension(".gz", {".gz"}), "r.sam .gz");
}

TEST_F(Containers, UnreadableInputsAreErrorsNamingTheFile) {
    const std::string sBam = ReadFile(File("example.bam")), sGzip = ReadFile(File("example.sam.gz"));
    std::string sDamaged = sBam;
    for (std::size_t i = sBam.size() / 2; i < sBam.size() / 2 + 64; ++i) sDamaged[i] = static_cast<char>(~sDamaged[i]);
    WriteFile(File("cut.bam"), sBam.substr(0, sBam.size() / 2));
    WriteFile(File("damaged.bam"), sDamaged);
    WriteFile(File("magic.bam"), std::string("BAM\1") + "\x07\x13 random bytes \x01\x02");
    WriteFile(File("binary"), std::string("\x7f" "ELF\x02\x01\x01\0\0\0", 10));
    WriteFile(File("reads.bz2"), "BZh91AY&SY\x01\x02\x03");
    WriteFile(File("cut.sam.gz"), sGzip.substr(0, sGzip.size() / 2));
    WriteFile(File("moved.cram"), ReadFile(File("example.ref.cram")));
    ASSERT_EQ(mkfifo(File("reads.fifo").c_str(), 0600), 0);
    std::rename(File("ref.fa").c_str(), File("ref.fa.away").c_str());  // the CRAM's reference disappears
    const std::pair<std::string, const char*> cases[] = {
        {File("reads.fifo"), "is not a regular file (it is a FIFO); give a file, or - for standard input"},
        {"/dev/null", "is not a regular file (it is a character device)"},
        {pDir->Path(), "is not a regular file (it is a directory)"},
        {File("missing.sam"), "cannot be opened: No such file or directory"},
        {File("cut.bam"), "is cut short (its end-of-file marker is missing)"}, {File("magic.bam"), "is cut short"},
        {File("damaged.bam"), "cannot be decoded after record"},
        {File("binary"), "is not SAM, BAM or CRAM (found: unknown data)"},
        {File("reads.bz2"), "is not SAM, BAM or CRAM (found: unknown bzip2-compressed data)"},
        {File("cut.sam.gz"), "cannot be decompressed after line"},
        {File("moved.cram"), "its reference is not found (give the FASTA file with REFERENCE=path)"}};
    for (const auto& [sPath, sReason] : cases) {
        const std::string sMessage = ErrorOf<InputError>([&sPath = sPath] { Drain(sPath); });
        EXPECT_NE(sMessage.find("the SAM file (" + sPath + ")"), std::string::npos) << sPath << ": " << sMessage;
        EXPECT_NE(sMessage.find(sReason), std::string::npos) << sMessage;
    }
    std::rename(File("ref.fa.away").c_str(), File("ref.fa").c_str());
    EXPECT_THROW(InputFile(""), InputError);
}

// Each line gets its text, then per column its value (%g) or NA, each followed by a tab.
TEST(Samplus, EveryLineGetsItsValuesOrNA) {
    struct Case { const char* sInput; int iLines; ValueMap values; ProbMode mode; const char* sOutput; };
    const Case cases[] = {
        {"@HD\tVN:1.0\nu1\tchr1\nm1\tchr1\nm1\tchr2\nrejected line\nm2\tchr3\nm3\tchr1\n", 7,
         {{2, {1, 1}}, {3, {0.5, 1.0 / 3}}, {4, {0, 1e-07}}, {6, {0.75, 0.734521}}, {7, {NO_VALUE, NO_VALUE}}},
         ProbMode::Both,
         "@HD\tVN:1.0\tNA\tNA\t\nu1\tchr1\t1\t1\t\nm1\tchr1\t0.5\t0.333333\t\nm1\tchr2\t0\t1e-07\t\n"
         "rejected line\tNA\tNA\t\nm2\tchr3\t0.75\t0.734521\t\nm3\tchr1\tNA\tNA\t\n"},
        {"@SQ\tSN:chr1\nm1\tchr1\nm1\tchr2\n", 3, {{2, {0.25, NO_VALUE}}, {3, {0.75, NO_VALUE}}}, ProbMode::Bayes,
         "@SQ\tSN:chr1\tNA\t\nm1\tchr1\t0.25\t\nm1\tchr2\t0.75\t\n"},
        {"a\r\nb\r\n", 2, {{2, {1, 1}}}, ProbMode::Both, "a\r\tNA\tNA\t\nb\r\t1\t1\t\n"},
        {"a\nb", 2, {{2, {1, 1}}}, ProbMode::Both, "a\tNA\tNA\t\nb\t1\t1\t\n"},
        {"a\n\nb\n", 3, {{3, {1, 1}}}, ProbMode::Both, "a\tNA\tNA\t\n\tNA\tNA\t\nb\t1\t1\t\n"},
        {"", 0, {}, ProbMode::Both, ""}};
    TempDir dir;
    for (int iThreads : {1, 3})
        for (const Case& c : cases) {
            WriteFile(dir.File("reads.sam"), c.sInput);
            MapValueSource source(c.values);
            InputFile input(dir.File("reads.sam"));
            WriteOutput(input, {}, {OutputFormat::Samplus, dir.File("reads.sam+"), c.mode, "", iThreads, ""}, source,
                        {c.iLines, std::nullopt});
            EXPECT_EQ(ReadFile(dir.File("reads.sam+")), c.sOutput) << c.sInput;
        }
}

// Blocks are written whole and in order whatever the threads and the window. Of several
// failures the caller gets the one met first block by block, after every block before it.
TEST(OrderedBlocks, WrittenInOrderUpToTheFirstFailure) {
    struct Block { int iIndex = 0; std::vector<int> vValues; };
    const int BLOCKS = 40, BLOCK_SIZE = 7;
    enum Stage { Fill, Format, Write };
    struct Failure { Stage stage; int iBlock; };
    const std::vector<std::vector<Failure>> cases = {
        {}, {{Fill, 23}}, {{Format, 23}}, {{Write, 23}}, {{Format, 30}, {Write, 23}},
        {{Fill, 30}, {Format, 23}}, {{Fill, 23}, {Write, 10}}, {{Format, 0}}};
    for (int iThreads : {1, 2, 5})
        for (std::size_t iWindow : {1, 3, 16})
            for (const std::vector<Failure>& failures : cases) {
                int iFirst = BLOCKS;  // the block of the failure expected
                for (const Failure& f : failures) iFirst = std::min(iFirst, f.iBlock);
                SCOPED_TRACE(std::to_string(iThreads) + " threads, window " + std::to_string(iWindow) +
                             ", first failure in block " + std::to_string(iFirst));
                auto check = [&](Stage stage, const Block& block) {
                    for (const Failure& f : failures)
                        if (f.stage == stage && f.iBlock == block.iIndex)
                            throw std::runtime_error("block " + std::to_string(f.iBlock));
                };
                int iNext = 0;
                std::vector<int> vWritten;
                auto run = [&] {
                    RunOrderedBlocks<Block>(
                        iThreads, iWindow,
                        [&](Block& block) {
                            block.iIndex = iNext++;
                            check(Fill, block);
                            return block.iIndex < BLOCKS;
                        },
                        [&](Block& block) {
                            check(Format, block);
                            block.vValues.clear();
                            for (int i = 0; i < BLOCK_SIZE; ++i) block.vValues.push_back(block.iIndex * BLOCK_SIZE + i);
                        },
                        [&](Block& block) {
                            check(Write, block);
                            vWritten.insert(vWritten.end(), block.vValues.begin(), block.vValues.end());
                        });
                };
                EXPECT_EQ(ErrorOf<std::runtime_error>(run), failures.empty() ? "" : "block " + std::to_string(iFirst));
                ASSERT_EQ(vWritten.size(), static_cast<std::size_t>(iFirst * BLOCK_SIZE));
                for (std::size_t i = 0; i < vWritten.size(); ++i) ASSERT_EQ(vWritten[i], static_cast<int>(i));
            }
}

// Every record of a tagged output is its input line unchanged but for ZP and ZU, floats of the
// values that the mode selects; the header gains the program's @PG line.
void ExpectTaggedOutput(const std::string& sOutput, const std::vector<std::string>& vLines, const ValueMap& values,
                        ProbMode mode) {
    htsFile* pIn = hts_open(sOutput.c_str(), "r");
    ASSERT_NE(pIn, nullptr) << sOutput;
    const bool bText = hts_get_format(pIn)->format == sam;
    sam_hdr_t* pHeader = sam_hdr_read(pIn);
    const std::string sHeader = sam_hdr_str(pHeader);
    EXPECT_EQ(sHeader.find("@HD\tVN:1.0\tSO:unsorted\n@SQ\tSN:chr1\tLN:30000"), 0u) << sHeader;
    EXPECT_NE(sHeader.find("\n@PG\tID:korvex\tPP:Bowtie\tPN:korvex\tVN:2.0.0\tCL:korvex run.cfg\n"), std::string::npos);
    EXPECT_EQ(sam_hdr_count_lines(pHeader, "PG"), 2) << sHeader;
    kstring_t text = KS_INITIALIZE;
    bam1_t* pRecord = bam_init1();
    std::size_t iLine = 5;  // the example's header lines
    for (; iLine < vLines.size() && sam_read1(pIn, pHeader, pRecord) >= 0; ++iLine) {
        auto itValues = values.find(static_cast<int64_t>(iLine + 1));
        const bool bFound = itValues != values.end();
        const double dShare = bFound && mode != ProbMode::Bayes ? itValues->second[0] : NO_VALUE;
        const double dPosterior = bFound && mode != ProbMode::Proportional ? itValues->second[1] : NO_VALUE;
        for (const auto& [pName, dValue] : {std::make_pair("ZP", dPosterior), std::make_pair("ZU", dShare)}) {
            uint8_t* pTag = bam_aux_get(pRecord, pName);
            EXPECT_EQ(pTag != nullptr, !std::isnan(dValue)) << sOutput << " line " << iLine + 1 << " " << pName;
            if (pTag == nullptr) continue;
            EXPECT_EQ(*pTag, 'f');
            const float fExpected = static_cast<float>(dValue), fWritten = static_cast<float>(bam_aux2f(pTag));
            EXPECT_NEAR(fWritten, fExpected, bText ? 5e-6 * fExpected : 0.0) << sOutput << " line " << iLine + 1;
            bam_aux_del(pRecord, pTag);  // SAM text holds 6 significant digits, BAM and CRAM the float
        }
        ASSERT_GE(sam_format1(pHeader, pRecord, ks_clear(&text)), 0);
        EXPECT_EQ(std::string(text.s, text.l), vLines[iLine]) << sOutput;
    }
    EXPECT_EQ(iLine, vLines.size()) << sOutput;
    EXPECT_EQ(sam_read1(pIn, pHeader, pRecord), -1);
    ks_free(&text);
    bam_destroy1(pRecord);
    sam_hdr_destroy(pHeader);
    EXPECT_EQ(hts_close(pIn), 0);
}

TEST_F(Containers, TaggedOutputHoldsEveryRecordWithItsValues) {
    struct Case { const char* sInput; OutputFormat format; ProbMode mode; int iThreads; const char* sReference; };
    const Case cases[] = {
        {"example.sam", OutputFormat::Sam, ProbMode::Both, 1, ""},
        {"example.sam", OutputFormat::Bam, ProbMode::Bayes, 2, ""},
        {"example.sam.gz", OutputFormat::Cram, ProbMode::Proportional, 1, ""},  // sequences stored whole
        {"example.bam", OutputFormat::Cram, ProbMode::Both, 2, "ref.fa"},
        {"example.ref.cram", OutputFormat::Sam, ProbMode::Both, 2, ""},
        {"foreign.sam", OutputFormat::Sam, ProbMode::Both, 1, ""}};  // ZP and ZU of another type give way
    const std::vector<std::string> vLines = SplitLines(ReadFile(TestDataPath("example.sam")));
    std::string sForeign;
    for (std::size_t i = 0; i < vLines.size(); ++i) sForeign += vLines[i] + (i < 5 ? "\n" : "\tZU:i:3\tZP:Z:x\n");
    WriteFile(File("foreign.sam"), sForeign);
    const bool bSamtools = RunShell("command -v samtools >/dev/null 2>&1") == 0;
    for (const Case& c : cases) {
        MapValueSource source(ExampleValues(vLines, c.mode));
        InputFile input(File(c.sInput));
        const std::string sOutput = DefaultOutputPath(input, c.format);
        const EarlierReading first = FirstReading(input, {File("ref.fa"), 1});  // on one thread: the same content
        const ContentChecksum written =
            WriteOutput(input, {File("ref.fa"), c.iThreads},
                        {c.format, sOutput, c.mode, *c.sReference ? File(c.sReference) : "", c.iThreads, "korvex run.cfg"},
                        source, first);
        EXPECT_EQ(written, ChecksumOf(sOutput)) << sOutput;
        ExpectTaggedOutput(sOutput, vLines, ExampleValues(vLines), c.mode);
        if (c.format == OutputFormat::Cram && c.iThreads > 1) {  // the same bytes from run to run
            const std::string sFirst = ReadFile(sOutput);
            MapValueSource again(ExampleValues(vLines, c.mode));
            WriteOutput(input, {File("ref.fa"), c.iThreads},
                        {c.format, sOutput, c.mode, File(c.sReference), c.iThreads, "korvex run.cfg"}, again, first);
            EXPECT_TRUE(ReadFile(sOutput) == sFirst);
        }
        const std::string sCheck = "samtools quickcheck " + sOutput + " && samtools view " + sOutput + " >/dev/null";
        if (bSamtools) { EXPECT_EQ(RunShell(sCheck), 0) << sOutput; }
    }
    if (!bSamtools) GTEST_SKIP() << "checked with htslib alone: samtools is missing (apt-get install -y samtools)";
}

// Records that htslib would change or drop: the tagged output refuses them, naming the line,
// and so does the check that a run makes of them beside Step 1.
TEST(TaggedOutput, RecordsThatCannotBeWrittenUnchangedAreErrors) {
    const std::string sRecord = "r1\t0\tchr1\t5\t255\t4M\t*\t0\t0\tACGT\tIIII\n";
    const std::pair<std::string, const char*> cases[] = {
        {"@SQ\tSN:chr1\tLN:100\n" + sRecord + "@CO\tlate\n", "line 3: a header line after the first record"},
        {"@SQ\tSN:chr1\tLN:100\n\n" + sRecord + "r2\t0\tchr1\n", "line 4: the record cannot be read as SAM"},
        {"@SQ\tSN:chr2\tLN:100\n" + sRecord, "line 2: the reference chr1 is not among the header's @SQ lines"}};
    TempDir dir;
    for (const auto& [sText, sReason] : cases) {
        WriteFile(dir.File("reads.sam"), sText);
        InputFile input(dir.File("reads.sam"));
        MapValueSource source({});
        const OutputTarget output{OutputFormat::Bam, dir.File("out.bam"), ProbMode::Both, "", 1, ""};
        EXPECT_EQ(ErrorOf<InputError>([&, &sText = sText] { WriteOutput(input, {}, output, source, {static_cast<int64_t>(SplitLines(sText).size()), std::nullopt}); }),
                  "the SAM file (" + dir.File("reads.sam") + "), " + sReason);
        EXPECT_FALSE(FileExists(dir.File("out.bam")));
        EXPECT_EQ(ErrorOf<InputError>([&] { CheckRecordsForTaggedOutput(input, {}); }),
                  "the SAM file (" + dir.File("reads.sam") + "), " + sReason);
    }
}

// The input changed between the passes: its size or time, the file replaced, or one character
// of a read name changed in place with the size and time kept (found by the content, in every
// container); or another number of lines, or values for a line it lacks. Every output refuses
// naming the file and leaves what stood under its name.
TEST_F(Containers, OutputIsRefusedWhenTheInputChangedBetweenThePasses) {
    std::string sChanged = ReadFile(File("example.sam"));
    sChanged[sChanged.find("\nr00000059\t") + 2] = 'Q';
    WriteFile(File("changed.sam"), sChanged);
    using Make = std::function<void(const std::string&, const std::string&)>;
    const Make copy = [](const std::string& sFrom, const std::string& sTo) { WriteFile(sTo, ReadFile(sFrom)); };
    const Make gzip = [](const std::string& sFrom, const std::string& sTo) { Compress(sFrom, sTo, "w0"); };
    const Make bam = [](const std::string& sFrom, const std::string& sTo) { Convert(sFrom, sTo, "wb0"); };
    const Make cram = [](const std::string& sFrom, const std::string& sTo) { Convert(sFrom, sTo, "wc0"); };
    const struct { const char* sChange; const char* sSuffix; const Make& make; int64_t iLinesDelta, iValueLine; const char* sReason; } cases[] = {
        {"append", ".sam", copy, 0, 6, "changed while korvex was running"},
        {"touch", ".sam", copy, 0, 6, "changed while korvex was running"},
        {"replace", ".sam", copy, 0, 6, "changed while korvex was running"},
        {"", ".sam", copy, -1, 6, "gave 3481 lines when it was read again, but 3480 the first time"},
        {"", ".sam", copy, 0, 3482, "the values of line 3482 found no such line"},
        {"in place", ".sam", copy, 0, 6, "has changed: read again, its content (CRC-32 "},
        {"in place", ".sam.gz", gzip, 0, 6, "has changed: read again, its content (CRC-32 "},
        {"in place", ".bam", bam, 0, 6, "has changed: read again, its content (CRC-32 "},
        {"in place", ".cram", cram, 0, 6, "has changed: read again, its content (CRC-32 "}};
    const std::string sOutput = File("out.sam+");
    for (const auto& c : cases) {
        const std::string sInput = File("changing") + c.sSuffix, sChange = c.sChange;
        SCOPED_TRACE(sChange + " " + sInput);
        c.make(File("example.sam"), sInput);
        WriteFile(sOutput, "previous\n");
        InputFile input(sInput);
        EarlierReading first = FirstReading(input);
        first.iLines += c.iLinesDelta;
        struct stat before;
        ASSERT_EQ(stat(sInput.c_str(), &before), 0);
        if (sChange == "append") WriteFile(sInput, ReadFile(sInput) + "extra\n");
        const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
        if (sChange == "touch") { ASSERT_EQ(utimensat(AT_FDCWD, sInput.c_str(), times, 0), 0); }
        if (sChange == "replace") {
            copy(File("example.sam"), sInput + ".new");
            std::rename((sInput + ".new").c_str(), sInput.c_str());
        }
        if (sChange == "in place") {
            c.make(File("changed.sam"), sInput + ".new");
            const std::string sBytes = ReadFile(sInput + ".new");
            ASSERT_EQ(sBytes.size(), static_cast<std::size_t>(before.st_size));
            WriteFile(sInput, sBytes);
            const timespec kept[2] = {before.st_atim, before.st_mtim};
            ASSERT_EQ(utimensat(AT_FDCWD, sInput.c_str(), kept, 0), 0);
        }
        for (const auto& [format, sTarget] : {std::make_pair(OutputFormat::Samplus, sOutput),
                                              std::make_pair(OutputFormat::Bam, File("out.bam"))}) {
            MapValueSource source({{c.iValueLine, {0.5, 0.5}}});
            const std::string sMessage = ErrorOf<InputError>(
                [&, format = format, &sTarget = sTarget] { WriteOutput(input, {}, {format, sTarget, ProbMode::Both, "", 1, ""}, source, first); });
            EXPECT_NE(sMessage.find("the SAM file (" + sInput + ")"), std::string::npos) << sMessage;
            EXPECT_NE(sMessage.find(c.sReason), std::string::npos) << sMessage;
        }
        EXPECT_EQ(ReadFile(sOutput), "previous\n");
        EXPECT_FALSE(FileExists(File("out.bam")));
    }
}

TEST(ValuesFile, ValuesReadBackExactly) {
    TempDir dir;
    const ValueMap values = {{6, {1.0 / 3, 0.1}}, {7, {NO_VALUE, 1e-300}}, {9, {4.9e-324, -0.0}}, {3000000000, {1, 0.734521}}};
    MapValueSource source(values);
    const ContentChecksum written = WriteValuesFile(dir.File("part.values"), source, 2);
    EXPECT_EQ(written, ChecksumOf(dir.File("part.values")));
    EXPECT_EQ(SplitLines(ReadFile(dir.File("part.values")))[1], "7\tNA\t1e-300");
    ValuesFileReader reader(dir.File("part.values"), 2);
    int64_t iLine = 0;
    double adValues[2];
    for (const auto& [iExpectedLine, adExpected] : values) {
        ASSERT_TRUE(reader.Next(iLine, adValues));
        EXPECT_EQ(iLine, iExpectedLine);
        EXPECT_EQ(std::memcmp(adValues, adExpected.data(), sizeof(adValues)), 0) << iLine;  // -0 stays -0, NaN quiet
    }
    EXPECT_FALSE(reader.Next(iLine, adValues));
    EXPECT_EQ(reader.Checksum(), ChecksumOf(dir.File("part.values")));
    const std::pair<const char*, const char*> cases[] = {
        {"5\t0.5\n5\t0.5\n", "line 2: line numbers must rise, but 5 follows 5"},
        {"5\t0.5\t0.5\n", "line 1: expected a line number and 1 value(s), separated by tabs"},
        {"5 0.5\n", "line 1: expected"}, {"5\tx\n", "line 1: expected"}, {"5\tNAN0\n", "line 1: expected"},
        {"\n", "line 1: expected"}};
    for (const auto& [sText, sMessage] : cases) {
        WriteFile(dir.File("bad.values"), sText);
        ValuesFileReader bad(dir.File("bad.values"), 1);
        const std::string sError = ErrorOf<InputError>([&] { while (bad.Next(iLine, adValues)) {} });
        EXPECT_EQ(sError.find("the values file (" + dir.File("bad.values") + "), " + sMessage), 0u) << sText << sError;
    }
    EXPECT_EQ(ErrorOf<InputError>([&] { ValuesFileReader(dir.File("gone.values"), 1); }),
              "the values file (" + dir.File("gone.values") + ") cannot be opened: No such file or directory");
}
