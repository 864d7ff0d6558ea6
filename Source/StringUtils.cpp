#include "StringUtils.h"

#include <cctype>
#include <stdexcept>

std::string GetNextToken(const std::string& str, const std::string& delimiter, std::string& rest) {
    std::size_t found = str.find(delimiter);
    if (found == std::string::npos) {
        rest = str;
        return std::string();
    }
    rest = str.substr(found + delimiter.size());
    return str.substr(0, found);
}

namespace {

// Appends the non-empty fields of str; leading, trailing and repeated delimiters are skipped.
template <class Container>
int SplitInto(const std::string& str, const std::string& delimiter, Container& tokens) {
    if (delimiter.empty()) {
        if (!str.empty()) tokens.push_back(str);
        return static_cast<int>(tokens.size());
    }
    std::size_t start = 0;
    while (start <= str.size()) {
        std::size_t found = str.find(delimiter, start);
        std::size_t end = (found == std::string::npos) ? str.size() : found;
        if (end > start) tokens.push_back(str.substr(start, end - start));
        if (found == std::string::npos) break;
        start = found + delimiter.size();
    }
    return static_cast<int>(tokens.size());
}

}  // namespace

int Split(const std::string& str, const std::string& delimiter, std::list<std::string>& tokens) {
    return SplitInto(str, delimiter, tokens);
}

int Split(const std::string& str, const std::string& delimiter, std::vector<std::string>& tokens) {
    return SplitInto(str, delimiter, tokens);
}

void SetFileExtension(std::string& path, const std::string& extension) {
    std::size_t dot = path.rfind('.');
    std::size_t slash = path.rfind('/');
    std::size_t backslash = path.rfind('\\');
    bool bSeparatorAfterDot = (slash != std::string::npos && slash > dot) ||
                              (backslash != std::string::npos && backslash > dot);
    if (dot != std::string::npos && !bSeparatorAfterDot) path.erase(dot);
    if (extension.at(0) != '.') path += '.';
    path += extension;
}

bool StringEndsWith(const std::string& str, std::string suffix, bool ignoreCase) {
    std::string text = str;
    if (ignoreCase) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (suffix.size() > text.size()) return false;
    return text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}
