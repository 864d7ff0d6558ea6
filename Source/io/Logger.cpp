#include "Logger.h"

#include <omp.h>

#include <cstdio>
#include <ctime>
#include <exception>
#include <iostream>

namespace {
Logger g_Logger;
}  // namespace

Logger* GetLogger() { return &g_Logger; }

Logger::Logger() : pConsole(&std::cout), sFilename("Logger.out"), bIsOpen(false), bQuiet(false) {}

Logger::~Logger() {
    if (bIsOpen) Close();
}

bool Logger::CreateOutFile(const std::string& filename) {
    sFilename = filename;
    return CreateOutFile();
}

bool Logger::CreateOutFile() {
    bLostRecords = false;
    outFile.open(sFilename, std::ios::out | std::ios::trunc);
    if (!outFile.is_open()) {
        outFile.clear();
        return false;
    }
    outFile << "Log created: " << TimeStamp() << std::endl << std::endl;
    bool bResult = outFile.good();
    Close();
    return bResult;
}

bool Logger::Write(const std::string& text, LogLevel level) {
    bool bResult = true;
    // Nothing may leave the critical section by an exception: WriteRecord catches everything.
#pragma omp critical
    bResult = WriteRecord(text, level);
    return bResult;
}

bool Logger::WriteRecord(const std::string& text, LogLevel level) {
    try {
        if ((level == LogLevel::Info && !bQuiet) || level == LogLevel::Summary) *pConsole << text;
        if (level == LogLevel::Warning || level == LogLevel::Error) std::cerr << text << std::flush;
        int iThread = omp_get_thread_num();
        if (!Open()) {
            outFile.clear();
            ReportLostRecord("could not be opened for writing. ");
            return true;
        }
        outFile << "Thr:" << iThread << " " << TimeStamp() << "  " << text;
        outFile.flush();
        bool bWritten = outFile.good();
        Close();
        // A full disk or a write error leaves the log incomplete; say so rather than hide it.
        if (!bWritten) {
            outFile.clear();
            ReportLostRecord("could not be written completely. ");
        }
        return true;
    } catch (const std::exception& e) {
        ReportWriteException(e.what());
    } catch (...) {
        ReportWriteException("unknown exception");
    }
    return false;
}

// The first record the log loses is reported on standard error; the run's end then fails.
void Logger::ReportLostRecord(const char* pWhy) {
    if (bLostRecords) return;
    bLostRecords = true;
    std::cerr << std::endl << "Write" << ": ERROR, The output file (" << sFilename << ") " << pWhy << std::endl;
}

void Logger::ReportWriteException(const char* pWhat) {
    try {
        *pConsole << std::endl
                  << "Write" << ": ERROR, We caught an exception while writing to the output file (" << sFilename
                  << "). " << std::endl
                  << (pWhat != nullptr ? pWhat : "") << std::endl;
    } catch (...) {
        // The console itself failed; the result false still tells the caller.
    }
    try {
        Close();
    } catch (...) {
        bIsOpen = false;
    }
}

bool Logger::Write(std::ostringstream& message, bool clear, LogLevel level) {
    bool bResult = Write(message.str(), level);
    if (bResult && clear) {
        message.clear();
        message.str(std::string());
    }
    return bResult;
}

std::string Logger::TimeStamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "[%04d%02d%02d__%02d_%02d_%02d]", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return buffer;
}

bool Logger::Open() {
    outFile.open(sFilename, std::ios::out | std::ios::app);
    bIsOpen = outFile.good();
    return bIsOpen;
}

void Logger::Close() {
    outFile.close();
    bIsOpen = false;
}
