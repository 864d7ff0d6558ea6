#ifndef KORVEX_LOGGER_H
#define KORVEX_LOGGER_H

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

// The process-wide log: every message is echoed to standard output and appended to
// the log file behind "Thr:<n> <time stamp>  ". The file is opened and closed per message.
class Logger {
public:
    Logger();
    explicit Logger(const char* filename);
    virtual ~Logger();

    bool CreateOutFile(const std::string& filename);
    bool CreateOutFile();
    // Serialised across all OpenMP threads by the unnamed critical section.
    bool Write(const std::string& text);
    bool Write(std::ostringstream& message, bool clear);
    void ClearBuf(std::ostringstream& message);
    std::string TimeStamp();
    bool Open();
    void Close();
    std::string Filename();

private:
    std::ostream* pConsole;
    std::ofstream outFile;
    std::string sFilename;
    bool bIsOpen;
};

#endif
