#include "TestHelpers.h"

#include <gtest/gtest.h>
#include <htslib/bgzf.h>
#include <htslib/sam.h>
#include <sys/wait.h>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempDir::TempDir() {
    char acTemplate[] = "/tmp/korvex_test_XXXXXX";
    if (mkdtemp(acTemplate) == nullptr) throw std::runtime_error("mkdtemp failed");
    sPath = acTemplate;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (std::getenv("KORVEX_KEEP_TEST_DIRS") == nullptr) std::filesystem::remove_all(sPath, ignored);
}

std::string ReadFile(const std::string& sPath) {
    std::ifstream in(sPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& sPath, const std::string& sText) {
    std::ofstream(sPath, std::ios::binary | std::ios::trunc) << sText;
}

std::vector<std::string> SplitLines(const std::string& sText) {
    std::vector<std::string> vLines;
    std::istringstream in(sText);
    for (std::string sLine; std::getline(in, sLine);) vLines.push_back(sLine);
    return vLines;
}

std::set<std::string> FileNames(const std::string& sDir) {
    std::set<std::string> vNames;
    for (const auto& entry : std::filesystem::directory_iterator(sDir)) vNames.insert(entry.path().filename().string());
    return vNames;
}

std::string MaskStamps(std::string sText) {  // a stamp is "[YYYYMMDD__hh_mm_ss]"
    for (std::size_t i = sText.find('['); i != std::string::npos; i = sText.find('[', i + 1))
        if (i + 20 <= sText.size() && sText[i + 19] == ']' && sText.compare(i + 9, 2, "__") == 0) sText.replace(i, 20, "[STAMP]");
    return sText;
}

static std::string ShellQuote(const std::string& s) {
    std::string sQuoted = "'";
    for (char c : s) sQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return sQuoted + "'";
}

ProgramResult RunKorvex(const std::string& sDir, const std::vector<std::string>& vArgs, const std::string& sStdin,
                        const std::vector<std::string>& vEnv) {
    TempDir io;
    WriteFile(io.File("stdin"), sStdin);
    std::string sCommand = "cd " + ShellQuote(sDir) + " && env";
    for (const std::string& sSetting : vEnv) sCommand += " " + ShellQuote(sSetting);
    sCommand += " " + ShellQuote(KORVEX_BINARY);
    for (const std::string& sArg : vArgs) sCommand += " " + ShellQuote(sArg);
    const int iStatus = RunShell(sCommand + " <" + ShellQuote(io.File("stdin")) + " >" + ShellQuote(io.File("stdout")) +
                                 " 2>" + ShellQuote(io.File("stderr")));
    return {iStatus, ReadFile(io.File("stdout")), ReadFile(io.File("stderr"))};
}

int RunShell(const std::string& sCommand) {
    const int iStatus = std::system(sCommand.c_str());
    return WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
}

ExampleDir::ExampleDir(const std::string& sConfig) {
    std::filesystem::copy_file(TestDataPath("example.sam"), File("example.sam"));
    WriteFile(File("run.cfg"), sConfig);
}

std::vector<std::string> Drain(const std::string& sPath, const InputOptions& options) {
    InputFile input(sPath);
    std::unique_ptr<LineSource> pLines = OpenLineSource(input, options);
    std::vector<std::string> vLines;
    for (LineView line; pLines->NextLine(line);) vLines.emplace_back(line.pData, line.iLength);
    return vLines;
}

void Compress(const std::string& sFrom, const std::string& sTo, const char* pMode) {
    const std::string sText = ReadFile(sFrom);
    BGZF* pOut = bgzf_open(sTo.c_str(), pMode);
    ASSERT_NE(pOut, nullptr);
    ASSERT_EQ(bgzf_write(pOut, sText.data(), sText.size()), static_cast<ssize_t>(sText.size()));
    ASSERT_EQ(bgzf_close(pOut), 0);
}

void Convert(const std::string& sFrom, const std::string& sTo, const char* pMode, const std::string& sReference) {
    htsFile* pIn = hts_open(sFrom.c_str(), "r");
    htsFile* pOut = hts_open(sTo.c_str(), pMode);
    ASSERT_TRUE(pIn != nullptr && pOut != nullptr);
    if (pMode[1] == 'c') {
        ASSERT_EQ(sReference.empty() ? hts_set_opt(pOut, CRAM_OPT_NO_REF, 1) : hts_set_fai_filename(pOut, sReference.c_str()), 0);
    }
    sam_hdr_t* pHeader = sam_hdr_read(pIn);
    ASSERT_EQ(sam_hdr_write(pOut, pHeader), 0);
    bam1_t* pRecord = bam_init1();
    while (sam_read1(pIn, pHeader, pRecord) >= 0) ASSERT_GE(sam_write1(pOut, pHeader, pRecord), 0);
    bam_destroy1(pRecord);
    sam_hdr_destroy(pHeader);
    EXPECT_EQ(hts_close(pOut) | hts_close(pIn), 0);
}

void WriteExampleContainers(const TempDir& dir) {
    setenv("REF_PATH", dir.Path().c_str(), 1);
    setenv("REF_CACHE", dir.Path().c_str(), 1);
    const std::string sSam = dir.File("example.sam");
    std::filesystem::copy_file(TestDataPath("example.sam"), sSam);
    Compress(sSam, sSam + ".gz", "wg");
    Compress(sSam, sSam + ".bgz", "w");
    Convert(sSam, dir.File("example.bam"), "wb");
    Convert(sSam, dir.File("example.cram"), "wc");
}

const char* KeepText(const std::string& sText) {
    static std::deque<std::string> vTexts;  // never shrinks: the pointers handed out stay valid
    return vTexts.emplace_back(sText).c_str();
}

Read MakeRead(const std::string& sId, const std::string& sChromosome, int iPosition, const std::string& sQuality,
              const std::vector<int>& vMismatchOffsets) {
    Read read;
    read.readID = KeepText(sId);
    read.chromosome = KeepText(sChromosome);
    read.quality = KeepText(sQuality);
    read.position = iPosition;
    read.lineNumber = 1;
    read.iLength = static_cast<int16_t>(sQuality.size());
    static std::deque<std::vector<ReadMismatch>> vKept;  // never shrinks: the pointers handed out stay valid
    std::vector<ReadMismatch>& vMismatches = vKept.emplace_back();
    for (int iOffset : vMismatchOffsets) {
        const char cQuality = iOffset < static_cast<int>(sQuality.size()) ? sQuality[iOffset] : '\0';
        vMismatches.emplace_back(static_cast<int16_t>(iOffset), cQuality);
    }
    read.pMismatches = vMismatches.data();
    read.iMismatchCount = static_cast<uint16_t>(vMismatches.size());
    return read;
}
