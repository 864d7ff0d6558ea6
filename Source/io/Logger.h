#ifndef KORVEX_LOGGER_H
#define KORVEX_LOGGER_H

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

// How far a message travels: every level reaches the log file; Info is echoed to standard
// output, Warning and Error to standard error, Detail nowhere else. Summary is echoed to
// standard output like Info, but also when the console is quiet.
enum class LogLevel { Detail, Info, Warning, Error, Summary };

// The process-wide log: every message is appended to the log file behind
// "Thr:<n> <time stamp>  " and echoed to the console as its level says. The file is
// opened and closed per message.
class Logger {
public:
    Logger();
    ~Logger();

    // Truncates the log file and writes its header line; not serialised.
    bool CreateOutFile(const std::string& filename);
    bool CreateOutFile();
    // Quiet: Info is no longer echoed; warnings, errors and the summary still are.
    void SetQuiet(bool bQuietConsole) { bQuiet = bQuietConsole; }
    // Serialised across all OpenMP threads by the unnamed critical section. False only
    // after an exception was caught; an unopenable file is reported and gives true.
    bool Write(const std::string& text, LogLevel level = LogLevel::Info);
    // Writes the message's text; with clear, empties the message once it was written.
    bool Write(std::ostringstream& message, bool clear, LogLevel level = LogLevel::Info);
    // Whether a record could not be written to the log file since it was created.
    bool LostRecords() const { return bLostRecords; }
    const std::string& Filename() const { return sFilename; }

private:
    // Local time as "[YYYYMMDD__hh_mm_ss]", always 20 characters.
    static std::string TimeStamp();
    bool Open();
    void Close();
    // Body of Write(text); runs inside the critical section.
    bool WriteRecord(const std::string& text, LogLevel level);
    // Console report of an exception caught while writing; never throws.
    void ReportWriteException(const char* pWhat);
    void ReportLostRecord(const char* pWhy);

    std::ostream* pConsole;  // standard output; not owned
    std::ofstream outFile;   // closed at rest; touched only inside the critical section (or before threads exist)
    std::string sFilename;
    bool bIsOpen;
    bool bLostRecords = false;
    bool bQuiet;  // set before any worker thread exists
};

// The process-wide log, built before main runs and destroyed at exit; never null.
Logger* GetLogger();

#endif
