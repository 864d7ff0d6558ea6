#include "StringUtils.h"

std::string GetNextToken(const std::string&, const std::string&, std::string&) { return ""; }
int Split(const std::string&, const std::string&, std::list<std::string>&) { return 0; }
int Split(const std::string&, const std::string&, std::vector<std::string>&) { return 0; }
void SetFileExtension(std::string&, const std::string&) {}
bool StringEndsWith(const std::string&, std::string, bool) { return false; }
