#include "MapFileReader.h"

MapFileReader::MapFileReader() : currentLineNumber(0), delimiter('\n') {}
bool MapFileReader::SetFileName(const std::string&) { return true; }
bool MapFileReader::OpenFile() { return false; }
void MapFileReader::CloseFile() {}
int MapFileReader::TestStreamFlags(std::basic_ios<char>&) { return 0; }
int MapFileReader::TestStreamFlags() { return 0; }
void MapFileReader::TrimSpaces(std::string&) {}
bool MapFileReader::GetSequenceLenFromSAMFile(std::string&) { return false; }
bool MapFileReader::GetSequenceLenFromFile(std::string&) { return false; }
bool MapFileReader::Read_a_Line(Read&, int&) { return false; }
int MapFileReader::ParseMismatchString(Read&, const char&, const std::string&) { return 0; }
int GetSequenceLength() { return 0; }
