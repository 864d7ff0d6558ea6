#ifndef KORVEX_STRINGUTILS_H
#define KORVEX_STRINGUTILS_H

#include <list>
#include <sstream>
#include <string>
#include <vector>

// Text before the first occurrence of delimiter; rest gets the text after it.
// When delimiter is absent the result is empty and rest is str.
std::string GetNextToken(const std::string& str, const std::string& delimiter, std::string& rest);

// Append the non-empty fields of str to tokens; returns the size of tokens.
int Split(const std::string& str, const std::string& delimiter, std::list<std::string>& tokens);
int Split(const std::string& str, const std::string& delimiter, std::vector<std::string>& tokens);

void SetFileExtension(std::string& path, const std::string& extension);
bool StringEndsWith(const std::string& str, std::string suffix, bool ignoreCase);

template <class T>
std::string convertS(T value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

#endif
