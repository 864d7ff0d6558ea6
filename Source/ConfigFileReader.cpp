#include "ConfigFileReader.h"

ConfigFileReader::ConfigFileReader(const std::string& filename)
    : sFilename(filename), cComment('#'), cLineDelimiter('\n'), cSeparator('=') {}
ConfigFileReader::~ConfigFileReader() {}
std::string ConfigFileReader::ToString() { return ""; }
std::size_t ConfigFileReader::ReadInputFile() { return 0; }
