#include "TestHelpers.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>

TempDir::TempDir() {
    char templ[] = "/tmp/korvex_test_XXXXXX";
    char* made = mkdtemp(templ);
    if (made == nullptr) throw std::runtime_error("mkdtemp failed");
    sPath = made;
}

TempDir::~TempDir() {
    if (std::getenv("KORVEX_KEEP_TEST_DIRS") != nullptr) return;  // to look at a failed case
    std::error_code ignored;
    std::filesystem::remove_all(sPath, ignored);
}

ScopedChdir::ScopedChdir(const std::string& dir) : sPrevious(std::filesystem::current_path().string()) {
    std::filesystem::current_path(dir);
}

ScopedChdir::~ScopedChdir() {
    std::error_code ignored;
    std::filesystem::current_path(sPrevious, ignored);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::string LastLine(const std::string& sText) {
    std::vector<std::string> vLines = SplitLines(sText);
    return vLines.empty() ? "" : vLines.back();
}

static std::string ShellQuote(const std::string& s) {
    std::string quoted = "'";
    for (char c : s) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

ProgramResult RunKorvex(const std::string& dir, const std::vector<std::string>& args,
                        const std::string& stdinText, const std::vector<std::string>& env) {
    TempDir io;
    WriteFile(io.File("stdin"), stdinText);
    std::string command = "cd " + ShellQuote(dir) + " && ";
    for (const std::string& setting : env) command += "env " + ShellQuote(setting) + " ";
    command += ShellQuote(KORVEX_BINARY);
    for (const std::string& arg : args) command += " " + ShellQuote(arg);
    command += " <" + ShellQuote(io.File("stdin")) + " >" + ShellQuote(io.File("stdout")) + " 2>" +
               ShellQuote(io.File("stderr"));
    int status = std::system(command.c_str());
    ProgramResult result;
    result.iExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.sStdout = ReadFile(io.File("stdout"));
    result.sStderr = ReadFile(io.File("stderr"));
    return result;
}

int RunShell(const std::string& sCommand) {
    int status = std::system(sCommand.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string TestDataPath(const std::string& name) { return std::string(KORVEX_TEST_DATA) + "/" + name; }

std::string MaskStamps(const std::string& text) {
    const std::string sShape = "[dddddddd__dd_dd_dd]";
    std::string sMasked;
    std::size_t i = 0;
    while (i < text.size()) {
        bool bStamp = i + sShape.size() <= text.size();
        for (std::size_t k = 0; bStamp && k < sShape.size(); ++k) {
            char c = text[i + k];
            bStamp = sShape[k] == 'd' ? (c >= '0' && c <= '9') : c == sShape[k];
        }
        if (bStamp) {
            sMasked += "[STAMP]";
            i += sShape.size();
        } else {
            sMasked += text[i++];
        }
    }
    return sMasked;
}

std::vector<std::string> LogTexts(const std::string& path) {
    std::vector<std::string> vTexts;
    const std::string sPrefix = "Thr:0 [STAMP]  ";
    for (std::string sLine : SplitLines(MaskStamps(ReadFile(path)))) {
        if (sLine.compare(0, sPrefix.size(), sPrefix) == 0) sLine.erase(0, sPrefix.size());
        vTexts.push_back(sLine);
    }
    return vTexts;
}

const char* KeepText(const std::string& text) {
    static std::mutex mutex;
    static std::deque<std::string> texts;  // never shrinks: the pointers handed out stay valid
    std::lock_guard<std::mutex> lock(mutex);
    texts.push_back(text);
    return texts.back().c_str();
}

Read MakeRead(const std::string& sId, const std::string& sChromosome, int iPosition, const std::string& sQuality,
              const std::vector<int>& vMismatchOffsets) {
    Read read;
    read.readID = KeepText(sId);
    read.chromosome = KeepText(sChromosome);
    read.quality = KeepText(sQuality);
    read.position = iPosition;
    read.lineNumber = 1;
    read.strand = '+';
    for (std::size_t i = 0; i < vMismatchOffsets.size() && i < 3; ++i) {
        int iOffset = vMismatchOffsets[i];
        char cQuality = iOffset < static_cast<int>(sQuality.size()) ? sQuality[iOffset] : '\0';
        read.vMismatches[i] = ReadMismatch(static_cast<int16_t>(iOffset), cQuality);
    }
    return read;
}
