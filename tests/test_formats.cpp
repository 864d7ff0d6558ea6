#include <gtest/gtest.h>
#include <htslib/bgzf.h>
#include <htslib/sam.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>

#include "InputFile.h"
#include "LineSources.h"
#include "OutputWriters.h"
#include "TestHelpers.h"

namespace {

const double NO_VALUE = std::numeric_limits<double>::quiet_NaN();

// Values for chosen line numbers, handed out in ascending order.

// Values for two of every three record lines of the example, with exact fractions, tiny
// numbers, zeros and ones, and a value of another part (NaN) now and then.
std::map<int64_t, std::array<double, 2>> ExampleValues(const std::vector<std::string>& vLines) {
    std::map<int64_t, std::array<double, 2>> values;
    for (std::size_t i = 0; i < vLines.size(); ++i) {
        int64_t iLine = static_cast<int64_t>(i) + 1;
        if (vLines[i][0] == '@' || iLine % 3 == 0) continue;
        double dShare = iLine % 11 == 0 ? NO_VALUE : static_cast<double>(iLine % 10) / 9.0;
        double dPosterior = iLine % 7 == 0 ? 1e-07 : 1.0 / static_cast<double>(1 + iLine % 13);
        values[iLine] = {dShare, iLine % 17 == 0 ? NO_VALUE : dPosterior};
    }
    return values;
}

// Reports the first line that differs rather than both files whole. bRecordsOnly: header
// lines may differ (a CRAM header names its reference), but not in number.
void ExpectSameLines(const std::vector<std::string>& vActual, const std::vector<std::string>& vExpected,
                     const std::string& sLabel, bool bRecordsOnly = false) {
    EXPECT_EQ(vActual.size(), vExpected.size()) << sLabel;
    for (std::size_t i = 0; i < std::min(vActual.size(), vExpected.size()); ++i) {
        if (bRecordsOnly && vExpected[i][0] == '@') continue;
        if (vActual[i] == vExpected[i]) continue;
        ADD_FAILURE() << sLabel << ", line " << i + 1 << ":\n" << vActual[i] << "\ninstead of\n" << vExpected[i];
        return;
    }
}

std::vector<std::string> Drain(const std::string& sPath, const InputOptions& options = {}) {
    InputFile input(sPath);
    std::unique_ptr<LineSource> pLines = OpenLineSource(input, options);
    std::vector<std::string> vLines;
    LineView line;
    while (pLines->NextLine(line)) vLines.emplace_back(line.pData, line.iLength);
    return vLines;
}

// Compresses the bytes of a file: "wg" gzip, "w" BGZF.
void Compress(const std::string& sFrom, const std::string& sTo, const char* pMode) {
    std::string sText = ReadFile(sFrom);
    BGZF* pOut = bgzf_open(sTo.c_str(), pMode);
    ASSERT_NE(pOut, nullptr);
    ASSERT_EQ(bgzf_write(pOut, sText.data(), sText.size()), static_cast<ssize_t>(sText.size()));
    ASSERT_EQ(bgzf_close(pOut), 0);
}

// Copies the records of a SAM, BAM or CRAM file with htslib: pMode "wb" BAM, "wc" CRAM (against
// sReference, or with whole sequences when it is empty).
void Convert(const std::string& sFrom, const std::string& sTo, const char* pMode, const std::string& sReference = "") {
    htsFile* pIn = hts_open(sFrom.c_str(), "r");
    ASSERT_NE(pIn, nullptr);
    sam_hdr_t* pHeader = sam_hdr_read(pIn);
    htsFile* pOut = hts_open(sTo.c_str(), pMode);
    ASSERT_NE(pOut, nullptr);
    if (pMode[1] == 'c') {
        ASSERT_EQ(sReference.empty() ? hts_set_opt(pOut, CRAM_OPT_NO_REF, 1)
                                     : hts_set_fai_filename(pOut, sReference.c_str()), 0);
    }
    ASSERT_EQ(sam_hdr_write(pOut, pHeader), 0);
    bam1_t* pRecord = bam_init1();
    while (sam_read1(pIn, pHeader, pRecord) >= 0) ASSERT_GE(sam_write1(pOut, pHeader, pRecord), 0);
    bam_destroy1(pRecord);
    sam_hdr_destroy(pHeader);
    EXPECT_EQ(hts_close(pOut), 0);
    EXPECT_EQ(hts_close(pIn), 0);
}

// A reference of the example's lengths, all 'A': a CRAM file written against it needs it back.
void WriteExampleReference(const std::string& sPath) {
    std::string sFasta;
    for (const char* pName : {"chr1", "chr2", "chr3"}) {
        int iLength = pName[3] == '1' ? 30000 : pName[3] == '2' ? 20000 : 10000;
        sFasta += ">" + std::string(pName) + "\n";
        for (int i = 0; i < iLength; i += 60) sFasta += std::string(std::min(60, iLength - i), 'A') + "\n";
    }
    WriteFile(sPath, sFasta);
}

// The example in every container, made once per test suite run in one directory.
class Containers : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        pDir = new TempDir;
        setenv("REF_PATH", pDir->Path().c_str(), 1);  // a missing reference is never looked for elsewhere
        const std::string sSam = File("example.sam");
        WriteFile(sSam, ReadFile(TestDataPath("example.sam")));
        WriteExampleReference(File("ref.fa"));
        Compress(sSam, File("example.sam.gz"), "wg");
        Compress(sSam, File("example.sam.bgz"), "w");
        Convert(sSam, File("example.bam"), "wb");
        Convert(sSam, File("example.noref.cram"), "wc");
        Convert(sSam, File("example.cram"), "wc", File("ref.fa"));
    }
    static void TearDownTestSuite() { delete pDir; }
    static std::string File(const std::string& sName) { return pDir->File(sName); }
    static TempDir* pDir;
};
TempDir* Containers::pDir = nullptr;

TEST_F(Containers, EveryContainerGivesTheSameLines) {
    struct Case { const char* sFile; InputFormat format; InputOptions options; bool bRecordsOnly; };
    const Case cases[] = {
        {"example.sam", InputFormat::Sam, {}, false},
        {"example.sam.gz", InputFormat::CompressedSam, {}, false},
        {"example.sam.bgz", InputFormat::CompressedSam, {"", 2}, false},
        {"example.bam", InputFormat::Bam, {}, false},
        {"example.bam", InputFormat::Bam, {"", 2}, false},
        {"example.noref.cram", InputFormat::Cram, {}, false},
        {"example.cram", InputFormat::Cram, {File("ref.fa"), 1}, true},
        {"example.cram", InputFormat::Cram, {}, true},  // the reference named in the CRAM header
    };
    const std::vector<std::string> vExpected = SplitLines(ReadFile(TestDataPath("example.sam")));
    for (const Case& c : cases) {
        EXPECT_EQ(InputFile(File(c.sFile)).Format(), c.format) << c.sFile;
        ExpectSameLines(Drain(File(c.sFile), c.options), vExpected, c.sFile, c.bRecordsOnly);
    }
    // Compressed text comes back byte for byte: carriage returns, empty lines, no final line end.
    WriteFile(File("odd.txt"), "a\r\n\n\tb \r\nc");
    Compress(File("odd.txt"), File("odd.gz"), "wg");
    EXPECT_EQ(Drain(File("odd.gz")), (std::vector<std::string>{"a\r", "", "\tb \r", "c"}));
}

TEST_F(Containers, UnreadableInputsAreErrorsNamingTheFile) {
    const std::string sBam = ReadFile(File("example.bam"));
    std::string sDamaged = sBam;
    for (std::size_t i = sBam.size() / 2; i < sBam.size() / 2 + 64; ++i) sDamaged[i] = static_cast<char>(~sDamaged[i]);
    WriteFile(File("cut.bam"), sBam.substr(0, sBam.size() / 2));
    WriteFile(File("damaged.bam"), sDamaged);
    WriteFile(File("magic.bam"), std::string("BAM\1") + "\x07\x13 random bytes \x01\x02");
    WriteFile(File("binary"), std::string("\x7f" "ELF\x02\x01\x01\0\0\0", 10));
    WriteFile(File("reads.bz2"), "BZh91AY&SY\x01\x02\x03");
    const std::string sGzip = ReadFile(File("example.sam.gz"));
    WriteFile(File("cut.sam.gz"), sGzip.substr(0, sGzip.size() / 2));
    WriteFile(File("moved.cram"), ReadFile(File("example.cram")));
    ASSERT_EQ(mkfifo(File("reads.fifo").c_str(), 0600), 0);
    std::rename(File("ref.fa").c_str(), File("ref.fa.away").c_str());  // the CRAM's reference disappears

    struct Case { std::string sPath; const char* sReason; };
    const Case cases[] = {
        {File("reads.fifo"), "is not a regular file (it is a FIFO); give a file, or - for standard input"},
        {"/dev/null", "is not a regular file (it is a character device)"},
        {pDir->Path(), "is not a regular file (it is a directory)"},
        {File("missing.sam"), "cannot be opened: No such file or directory"},
        {File("cut.bam"), "is cut short (its end-of-file marker is missing)"},
        {File("magic.bam"), "is cut short"},
        {File("damaged.bam"), "cannot be decoded after record"},
        {File("binary"), "is not SAM, BAM or CRAM (found: unknown data)"},
        {File("reads.bz2"), "is not SAM, BAM or CRAM (found: unknown bzip2-compressed data)"},
        {File("cut.sam.gz"), "cannot be decompressed after line"},
        {File("moved.cram"), "its reference is not found (give the FASTA file with REFERENCE=path)"},
    };
    for (const Case& c : cases) {
        try {
            Drain(c.sPath);
            ADD_FAILURE() << c.sPath << " was read";
        } catch (const InputError& error) {
            EXPECT_NE(std::string(error.what()).find("the SAM file (" + c.sPath + ")"), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.sReason), std::string::npos) << error.what();
        }
    }
    std::rename(File("ref.fa.away").c_str(), File("ref.fa").c_str());
    EXPECT_THROW(InputFile(""), InputError);
}

TEST_F(Containers, StandardInputIsReadFromAPrivateCopy) {
    TempDir tmp;
    const char* pOldTmpDir = std::getenv("TMPDIR");
    std::string sOldTmpDir = pOldTmpDir ? pOldTmpDir : "";
    setenv("TMPDIR", tmp.Path().c_str(), 1);
    int iSavedStdin = dup(STDIN_FILENO);
    int iFd = open(File("example.bam").c_str(), O_RDONLY);
    ASSERT_GE(dup2(iFd, STDIN_FILENO), 0);
    close(iFd);
    std::string sSpool;
    {
        InputFile input("-");
        sSpool = input.Path();
        EXPECT_EQ(sSpool.rfind(tmp.Path() + "/", 0), 0u) << sSpool;
        EXPECT_EQ(ReadFile(sSpool), ReadFile(File("example.bam")));
        EXPECT_EQ(input.Format(), InputFormat::Bam);
        EXPECT_EQ(DefaultOutputPath(input, OutputFormat::Bam), "stdin.korvex.bam");
        EXPECT_EQ(DefaultOutputPath(input, OutputFormat::Samplus), "stdin.sam+");
    }
    EXPECT_FALSE(FileExists(sSpool));
    dup2(iSavedStdin, STDIN_FILENO);
    close(iSavedStdin);
    if (pOldTmpDir) setenv("TMPDIR", sOldTmpDir.c_str(), 1); else unsetenv("TMPDIR");
}

TEST_F(Containers, DefaultOutputsAreNamedAfterTheInput) {
    struct Case { const char* sInput; OutputFormat format; const char* sOutput; };
    const Case cases[] = {
        {"example.sam", OutputFormat::Samplus, "example.sam+"},
        {"example.sam.gz", OutputFormat::Samplus, "example.sam+"},
        {"example.sam.gz", OutputFormat::Sam, "example.korvex.sam"},
        {"example.bam", OutputFormat::Bam, "example.korvex.bam"},
        {"example.cram", OutputFormat::Cram, "example.korvex.cram"},
        {"example.sam.bgz", OutputFormat::Bam, "example.korvex.bam"},
    };
    for (const Case& c : cases) {
        InputFile input(File(c.sInput));
        EXPECT_EQ(DefaultOutputPath(input, c.format), File(c.sOutput)) << c.sInput;
    }
}

// The SAMplus file of every container equals, byte for byte, that of the plain SAM file.
TEST_F(Containers, SamplusIsTheSameFromEveryContainer) {
    const std::vector<std::string> vLines = SplitLines(ReadFile(TestDataPath("example.sam")));
    for (ProbMode mode : {ProbMode::Both, ProbMode::Bayes}) {
        std::map<int64_t, std::array<double, 2>> values = ExampleValues(vLines);
        if (mode == ProbMode::Bayes)
            for (auto& entry : values) entry.second[0] = entry.second[1];
        std::string sExpected;
        for (const char* sInput : {"example.sam", "example.sam.gz", "example.bam", "example.noref.cram"}) {
            MapValueSource source(values);
            InputFile input(File(sInput));
            WriteOutput(input, {}, {OutputFormat::Samplus, File("out.sam+"), mode, "", 1, ""}, source,
                        static_cast<int64_t>(vLines.size()));
            if (sExpected.empty()) sExpected = ReadFile(File("out.sam+"));
            EXPECT_EQ(ReadFile(File("out.sam+")), sExpected) << sInput;
        }
    }
}

bool HaveSamtools() { return std::system("command -v samtools >/dev/null 2>&1") == 0; }

// Every record of the output: the input record unchanged but for ZP and ZU, which carry the
// values (as floats) that ProbMode selects.
void ExpectTaggedOutput(const std::string& sOutput, const std::vector<std::string>& vLines,
                        const std::map<int64_t, std::array<double, 2>>& values, ProbMode mode) {
    htsFile* pIn = hts_open(sOutput.c_str(), "r");
    ASSERT_NE(pIn, nullptr) << sOutput;
    const bool bText = hts_get_format(pIn)->format == sam;
    sam_hdr_t* pHeader = sam_hdr_read(pIn);
    ASSERT_NE(pHeader, nullptr);
    const std::string sHeader = sam_hdr_str(pHeader);
    EXPECT_EQ(sHeader.find("@HD\tVN:1.0\tSO:unsorted\n@SQ\tSN:chr1\tLN:30000"), 0u) << sHeader;
    kstring_t text = KS_INITIALIZE;
    for (auto field : {std::make_pair("PN", "korvex"), std::make_pair("VN", "2.0.0"), std::make_pair("CL", "korvex run.cfg")}) {
        ASSERT_EQ(sam_hdr_find_tag_id(pHeader, "PG", "ID", "korvex", field.first, ks_clear(&text)), 0) << sHeader;
        EXPECT_EQ(std::string(text.s, text.l), field.second);
    }
    EXPECT_EQ(sam_hdr_count_lines(pHeader, "PG"), 2);
    bam1_t* pRecord = bam_init1();
    std::size_t iLine = 5;  // the example's header lines
    while (sam_read1(pIn, pHeader, pRecord) >= 0 && iLine < vLines.size()) {
        ++iLine;
        auto itValues = values.find(static_cast<int64_t>(iLine));
        double dShare = itValues == values.end() ? NO_VALUE : itValues->second[0];
        double dPosterior = itValues == values.end() ? NO_VALUE : itValues->second[1];
        if (mode == ProbMode::Bayes) dShare = NO_VALUE;
        if (mode == ProbMode::Proportional) dPosterior = NO_VALUE;
        for (auto tag : {std::make_pair("ZP", dPosterior), std::make_pair("ZU", dShare)}) {
            uint8_t* pTag = bam_aux_get(pRecord, tag.first);
            EXPECT_EQ(pTag != nullptr, !std::isnan(tag.second)) << sOutput << " line " << iLine << " " << tag.first;
            if (pTag == nullptr) continue;
            EXPECT_EQ(*pTag, 'f');
            const float fExpected = static_cast<float>(tag.second), fWritten = static_cast<float>(bam_aux2f(pTag));
            if (bText)  // SAM text holds 6 significant digits
                EXPECT_NEAR(fWritten, fExpected, 5e-6 * fExpected) << sOutput << " line " << iLine;
            else
                EXPECT_EQ(fWritten, fExpected) << sOutput << " line " << iLine;
            bam_aux_del(pRecord, pTag);
        }
        ASSERT_GE(sam_format1(pHeader, pRecord, ks_clear(&text)), 0);
        EXPECT_EQ(std::string(text.s, text.l), vLines[iLine - 1]) << sOutput;
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
        {"example.cram", OutputFormat::Sam, ProbMode::Both, 2, ""},
    };
    const std::vector<std::string> vLines = SplitLines(ReadFile(TestDataPath("example.sam")));
    const std::map<int64_t, std::array<double, 2>> values = ExampleValues(vLines);
    const bool bSamtools = HaveSamtools();
    if (!bSamtools) std::cout << "samtools is not installed: the output is checked with htslib alone\n";
    for (const Case& c : cases) {
        std::map<int64_t, std::array<double, 2>> modeValues = values;
        if (c.mode == ProbMode::Bayes)
            for (auto& entry : modeValues) entry.second[0] = entry.second[1];
        MapValueSource source(modeValues);
        InputFile input(File(c.sInput));
        const std::string sOutput = DefaultOutputPath(input, c.format);
        WriteOutput(input, {File("ref.fa"), c.iThreads},
                    {c.format, sOutput, c.mode, *c.sReference ? File(c.sReference) : "", c.iThreads, "korvex run.cfg"},
                    source,
                    static_cast<int64_t>(vLines.size()));
        ExpectTaggedOutput(sOutput, vLines, values, c.mode);
        if (!bSamtools) continue;
        std::string sCheck = "samtools quickcheck '" + sOutput + "' && samtools view '" + sOutput + "' >/dev/null";
        EXPECT_EQ(std::system(sCheck.c_str()), 0) << sOutput;
    }
}

// Records that htslib would change or drop: the tagged output refuses them, naming the line.
TEST(TaggedOutput, RecordsThatCannotBeWrittenUnchangedAreErrors) {
    const std::string sRecord = "r1\t0\tchr1\t5\t255\t4M\t*\t0\t0\tACGT\tIIII\n";
    struct Case { std::string sText; const char* sReason; };
    const Case cases[] = {
        {"@SQ\tSN:chr1\tLN:100\n" + sRecord + "@CO\tlate\n", "line 3: a header line after the first record"},
        {"@SQ\tSN:chr1\tLN:100\n\n" + sRecord + "r2\t0\tchr1\n", "line 4: the record cannot be read as SAM"},
        {"@SQ\tSN:chr2\tLN:100\n" + sRecord, "line 2: the reference chr1 is not among the header's @SQ lines"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        WriteFile(dir.File("reads.sam"), c.sText);
        InputFile input(dir.File("reads.sam"));
        MapValueSource source({});
        try {
            WriteOutput(input, {}, {OutputFormat::Bam, dir.File("out.bam"), ProbMode::Both, "", 1, ""}, source,
                        static_cast<int64_t>(SplitLines(c.sText).size()));
            ADD_FAILURE() << c.sText;
        } catch (const InputError& error) {
            EXPECT_EQ(std::string(error.what()), "the SAM file (" + dir.File("reads.sam") + "), " + c.sReason);
        }
        EXPECT_FALSE(FileExists(dir.File("out.bam")));
    }
}

TEST_F(Containers, OutputIsRefusedWhenTheInputChangedBetweenThePasses) {
    const std::string sSam = File("changing.sam"), sOutput = File("changing.sam+");
    const std::string sText = ReadFile(File("example.sam"));
    const int64_t iLines = static_cast<int64_t>(SplitLines(sText).size());
    struct Case { const char* sChange; int64_t iExpectedLines; int64_t iValueLine; const char* sReason; };
    const Case cases[] = {
        {"append", iLines, 6, "changed while korvex was running"},
        {"touch", iLines, 6, "changed while korvex was running"},
        {"replace", iLines, 6, "changed while korvex was running"},
        {"", iLines - 1, 6, "gave 3481 lines when it was read again, but 3480 the first time"},
        {"", iLines, iLines + 1, "the values of line 3482 found no such line"},
    };
    for (const Case& c : cases) {
        WriteFile(sSam, sText);
        WriteFile(sOutput, "previous\n");
        InputFile input(sSam);
        const std::string sChange = c.sChange;
        if (sChange == "append") WriteFile(sSam, sText + "extra\n");
        if (sChange == "touch") {
            const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
            ASSERT_EQ(utimensat(AT_FDCWD, sSam.c_str(), times, 0), 0);
        }
        if (sChange == "replace") {
            WriteFile(sSam + ".new", sText);
            std::rename((sSam + ".new").c_str(), sSam.c_str());
        }
        for (OutputFormat format : {OutputFormat::Samplus, OutputFormat::Bam}) {
            MapValueSource source({{c.iValueLine, {0.5, 0.5}}});
            const std::string sTarget = format == OutputFormat::Samplus ? sOutput : File("changing.bam");
            try {
                WriteOutput(input, {}, {format, sTarget, ProbMode::Both, "", 1, ""}, source, c.iExpectedLines);
                ADD_FAILURE() << "no error after " << c.sChange;
            } catch (const InputError& error) {
                EXPECT_NE(std::string(error.what()).find("the SAM file (" + sSam + ")"), std::string::npos);
                EXPECT_NE(std::string(error.what()).find(c.sReason), std::string::npos) << error.what();
            }
        }
        EXPECT_EQ(ReadFile(sOutput), "previous\n");
        EXPECT_FALSE(FileExists(File("changing.bam")));
    }
}

TEST(ValuesFile, ValuesReadBackExactly) {
    TempDir dir;
    const std::map<int64_t, std::array<double, 2>> values = {
        {6, {1.0 / 3, 0.1}}, {7, {NO_VALUE, 1e-300}}, {9, {4.9e-324, -0.0}}, {3000000000, {1, 0.734521}}};
    MapValueSource source(values);
    WriteValuesFile(dir.File("part.values"), source, 2);
    EXPECT_EQ(SplitLines(ReadFile(dir.File("part.values")))[1], "7\tNA\t1e-300");
    ValuesFileReader reader(dir.File("part.values"), 2);
    int64_t iLine = 0;
    double adValues[2];
    for (const auto& entry : values) {
        ASSERT_TRUE(reader.Next(iLine, adValues));
        EXPECT_EQ(iLine, entry.first);
        for (int i = 0; i < 2; ++i) {  // the same bits: -0 stays -0, NaN comes back as the quiet NaN
            uint64_t iRead, iWritten;
            std::memcpy(&iRead, &adValues[i], sizeof(double));
            std::memcpy(&iWritten, &entry.second[i], sizeof(double));
            EXPECT_EQ(iRead, iWritten) << entry.first;
        }
    }
    EXPECT_FALSE(reader.Next(iLine, adValues));

    struct Case { const char* sText; const char* sMessage; };
    const Case cases[] = {
        {"5\t0.5\n5\t0.5\n", "line 2: line numbers must rise, but 5 follows 5"},
        {"5\t0.5\t0.5\n", "line 1: expected a line number and 1 value(s), separated by tabs"},
        {"5 0.5\n", "line 1: expected"},
        {"5\tx\n", "line 1: expected"},
        {"5\tNAN0\n", "line 1: expected"},
        {"\n", "line 1: expected"},
    };
    for (const Case& c : cases) {
        WriteFile(dir.File("bad.values"), c.sText);
        ValuesFileReader bad(dir.File("bad.values"), 1);
        try {
            while (bad.Next(iLine, adValues)) {}
            ADD_FAILURE() << c.sText;
        } catch (const InputError& error) {
            const std::string sMessage = error.what();
            EXPECT_EQ(sMessage.find("the values file (" + dir.File("bad.values") + "), " + c.sMessage), 0u) << sMessage;
        }
    }
}

}  // namespace
