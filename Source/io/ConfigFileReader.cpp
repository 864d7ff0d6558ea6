#include "ConfigFileReader.h"

#include <fstream>
#include <vector>

#include "ContentSniff.h"
#include "Trim.h"

namespace {

// Without blanks and tabs at either end.
std::string TrimBlanks(const std::string& sText) { return std::string(Trim(sText, SPACES_AND_TABS)); }

const std::size_t FIRST_LINES = 3;

const char* const BYTE_ORDER_MARK = "\xEF\xBB\xBF";  // UTF-8, as some editors start a file

// Whether a line (read without its LF) holds a control character, the first stored in *pByte. A
// tab is text, and a CR is the CR of a CR LF line end when it is the line's last byte.
bool FindControlCharacter(const std::string& sLine, unsigned char* pByte) {
    for (std::size_t i = 0; i < sLine.size(); ++i) {
        const auto c = static_cast<unsigned char>(sLine[i]);
        if (c == '\t' || (c == '\r' && i + 1 == sLine.size())) continue;
        if (c < 0x20 || c == 0x7f) {
            *pByte = c;
            return true;
        }
    }
    return false;
}

}  // namespace

ConfigFileReader::ConfigFileReader(const std::string& filename)
    : sFilename(filename), cComment('#'), cLineDelimiter('\n'), cSeparator('=') {}

std::size_t ConfigFileReader::ReadInputFile() {
    std::vector<LineWithoutSeparator> vLines;
    std::ifstream in(sFilename);
    std::string sLine;
    int iLineNumber = 0;
    firstControl = ControlCharacter();
    pLooksLike = nullptr;
    std::vector<std::string> vFirstLines;  // enough to recognise sequence data
    // getline also yields a last line that has no line delimiter after it. Reading stops at the
    // first sign of data other than settings, which would only give one warning per line.
    while (in && std::getline(in, sLine, cLineDelimiter)) {
        ++iLineNumber;
        if (iLineNumber == 1 && sLine.compare(0, 3, BYTE_ORDER_MARK) == 0) sLine.erase(0, 3);
        if (vFirstLines.size() < FIRST_LINES) vFirstLines.push_back(sLine);
        if (IsSamLine(sLine)) {
            pLooksLike = "a SAM file";
            break;
        }
        if (firstControl.iLine == 0 && FindControlCharacter(sLine, &firstControl.cByte)) {
            firstControl.iLine = iLineNumber;
            break;
        }
        // The CR of a CR LF line end: without it a blank line of such a file would be text without
        // a separator, and every value would carry it into the log.
        if (!sLine.empty() && sLine.back() == '\r') sLine.pop_back();
        sLine = TrimBlanks(sLine);
        std::size_t comment = sLine.find(cComment);
        if (comment != std::string::npos) sLine.erase(comment);
        if (!sLine.empty()) vLines.push_back({iLineNumber, sLine});
    }
    in.close();
    if (const char* pData = DescribeSequenceData(std::vector<std::string_view>(vFirstLines.begin(), vFirstLines.end())))
        pLooksLike = pData;
    if (pLooksLike != nullptr) return 0;

    if (!vLines.empty()) values.clear();
    vWithoutSeparator.clear();
    vRepeated.clear();
    std::map<std::string, int> lineOfKey;
    for (const LineWithoutSeparator& kept : vLines) {
        std::size_t separator = kept.sText.find(cSeparator);
        if (separator == std::string::npos) {
            vWithoutSeparator.push_back({kept.iNumber, TrimBlanks(kept.sText)});
            continue;
        }
        const std::string sKey = TrimBlanks(kept.sText.substr(0, separator));
        const std::string sValue = TrimBlanks(kept.sText.substr(separator + 1));
        const auto [itLine, bFirst] = lineOfKey.try_emplace(sKey, kept.iNumber);
        if (!bFirst && values[sKey] != sValue)
            vRepeated.push_back({kept.iNumber, itLine->second, sKey, values[sKey], sValue});
        itLine->second = kept.iNumber;
        values[sKey] = sValue;
    }
    return values.size();
}
