#include "ConfigFileReader.h"

#include <fstream>
#include <vector>

namespace {

// Removes leading and trailing blanks and tabs (only those two characters).
std::string TrimBlanks(const std::string& text) {
    const char* const sBlanks = " \t";
    std::size_t first = text.find_first_not_of(sBlanks);
    if (first == std::string::npos) return std::string();
    std::size_t last = text.find_last_not_of(sBlanks);
    return text.substr(first, last - first + 1);
}

}  // namespace

ConfigFileReader::ConfigFileReader(const std::string& filename)
    : sFilename(filename), cComment('#'), cLineDelimiter('\n'), cSeparator('=') {}

ConfigFileReader::~ConfigFileReader() {}

std::string ConfigFileReader::ToString() {
    std::string sText;
    for (const auto& pair : values) sText += "  " + pair.first + " = " + pair.second + "\n";
    return sText;
}

std::size_t ConfigFileReader::ReadInputFile() {
    std::vector<LineWithoutSeparator> vLines;
    std::ifstream in(sFilename);
    std::string sLine;
    int iLineNumber = 0;
    // getline also yields a last line that has no line delimiter after it.
    while (in && std::getline(in, sLine, cLineDelimiter)) {
        ++iLineNumber;
        sLine = TrimBlanks(sLine);
        std::size_t comment = sLine.find(cComment);
        if (comment != std::string::npos) sLine.erase(comment);
        if (!sLine.empty()) vLines.push_back({iLineNumber, sLine});
    }
    in.close();

    if (!vLines.empty()) values.clear();
    vWithoutSeparator.clear();
    for (const LineWithoutSeparator& kept : vLines) {
        std::size_t separator = kept.sText.find(cSeparator);
        if (separator == std::string::npos) {
            vWithoutSeparator.push_back({kept.iNumber, TrimBlanks(kept.sText)});
            continue;
        }
        values[TrimBlanks(kept.sText.substr(0, separator))] = TrimBlanks(kept.sText.substr(separator + 1));
    }
    return values.size();
}
