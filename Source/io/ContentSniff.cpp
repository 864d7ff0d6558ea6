#include "ContentSniff.h"

#include <algorithm>
#include <fstream>

namespace {

bool StartsWith(std::string_view sText, std::string_view sStart) { return sText.substr(0, sStart.size()) == sStart; }

bool IsSequenceLine(std::string_view sLine) {
    if (sLine.empty()) return false;
    return std::all_of(sLine.begin(), sLine.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' || c == '-' || c == '*' || c == '\r';
    });
}

// A FASTQ record: a name line after @, a sequence, a + line.
bool StartsFastq(const std::vector<std::string_view>& vLines) {
    return vLines.size() >= 3 && StartsWith(vLines[0], "@") && !IsSamLine(vLines[0]) && IsSequenceLine(vLines[1]) &&
           StartsWith(vLines[2], "+");
}

}  // namespace

bool IsSamLine(std::string_view sLine) {
    for (const char* pTag : {"@HD\t", "@SQ\t", "@RG\t", "@PG\t", "@CO\t"})
        if (StartsWith(sLine, pTag)) return true;
    return std::count(sLine.begin(), sLine.end(), '\t') >= 10;
}

const char* DescribeSequenceData(const std::vector<std::string_view>& vFirstLines) {
    if (vFirstLines.empty()) return nullptr;
    const std::string_view sFirst = vFirstLines[0];
    if (StartsWith(sFirst, "\x1f\x8b")) return "compressed data (gzip or BGZF, as a BAM file or compressed SAM)";
    if (StartsWith(sFirst, "CRAM")) return "a CRAM file";
    if (StartsWith(sFirst, std::string_view("BAM\1", 4))) return "a BAM file";
    if (IsSamLine(sFirst)) return "a SAM file";
    if (StartsFastq(vFirstLines)) return "FASTQ reads";
    if (StartsWith(sFirst, ">") && vFirstLines.size() >= 2 && IsSequenceLine(vFirstLines[1])) return "FASTA sequences";
    return nullptr;
}

std::vector<std::string> FirstLines(const std::string& sPath, int iCount, std::size_t iMaxLength) {
    std::vector<std::string> vLines;
    std::ifstream in(sPath, std::ios::binary);
    std::string sLine;
    while (static_cast<int>(vLines.size()) < iCount && in) {
        sLine.clear();
        char c;
        while (sLine.size() < iMaxLength && in.get(c) && c != '\n') sLine += c;
        if (!in && sLine.empty()) break;
        vLines.push_back(sLine);
    }
    return vLines;
}
