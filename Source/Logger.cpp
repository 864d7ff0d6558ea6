#include "Logger.h"

Logger::Logger() : pConsole(nullptr), bIsOpen(false) {}
Logger::Logger(const char*) : pConsole(nullptr), bIsOpen(false) {}
Logger::~Logger() {}
bool Logger::CreateOutFile(const std::string&) { return false; }
bool Logger::CreateOutFile() { return false; }
bool Logger::Write(const std::string&) { return true; }
bool Logger::Write(std::ostringstream&, bool) { return true; }
void Logger::ClearBuf(std::ostringstream&) {}
std::string Logger::TimeStamp() { return ""; }
bool Logger::Open() { return false; }
void Logger::Close() {}
std::string Logger::Filename() { return sFilename; }
