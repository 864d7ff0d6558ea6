// The entry point: the command line, the settings and the log, then the run or merge.
// The lines that the entry point writes itself begin with the command's name: "main: "
// for a run, "merge: " for korvex merge.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "EndOfRunWarnings.h"
#include "InputFile.h"
#include "Korvex.h"
#include "Logger.h"
#include "MergeCommand.h"
#include "Progress.h"
#include "RunPlan.h"
#include "RunReports.h"
#include "Settings.h"
#include "SummaryText.h"
#include "Version.h"
#include "WallClock.h"

namespace {

std::string Banner() {
    return "\n" + std::string(PROGRAM_NAME) + " -- " + PROGRAM_PURPOSE + "\n\n";
}

// No arguments: the usage that --help begins with, on standard error. On a terminal the program
// then waits for one character, so that a window opened just for it stays readable; a script's
// standard input is never read.
int RefuseMissingArgument() {
    std::cerr << UsageText() << std::flush;
    if (isatty(STDIN_FILENO) == 0) return 1;
    std::cout << std::endl << "\n\n" << "Waiting for a character and <cr>: ";
    char cAnswer;
    std::cin >> cAnswer;
    return 1;
}

// A command line that cannot be read, or a configuration file that cannot be opened: no
// log exists yet (and none is created, lest another run's log be truncated).
int RefuseBeforeTheLog(const char* pCommand, const std::string& sProblem) {
    std::cerr << pCommand << ": " << sProblem << std::endl;
    return 1;
}

bool IsMerge(const char* pCommand) { return std::string(pCommand) == "merge"; }

// The input, opened before the log so that the files the command writes can be checked against
// it. An input that cannot be opened is reported once the log exists, like every failure of a run.
struct OpenedInput {
    std::unique_ptr<InputFile> pFile;
    std::exception_ptr pError;

    const InputFile& File() const {
        if (pError) std::rethrow_exception(pError);
        return *pFile;
    }
};

OpenedInput OpenInput(const char* pCommand, const RunSettings& settings) {
    OpenedInput input;
    try {
        input.pFile = IsMerge(pCommand) ? OpenMergeInput(settings) : OpenRunInput(settings);
    } catch (...) {
        input.pError = std::current_exception();
    }
    return input;
}

void WriteLines(const char* pCommand, const std::vector<std::string>& vLines, LogLevel level) {
    for (const std::string& sLine : vLines) GetLogger()->Write(std::string(pCommand) + ": " + sLine + "\n", level);
}

// Reads the configuration file, settles and checks the settings, opens the input (of settings
// that are not refused), refuses a file the command would write that is one it reads or writes
// elsewhere, creates the log and writes the banner, the keys left at their default, the warnings
// and the refusals to it, then the configuration dump. False when the run must not start; its
// reason is then the last line on standard error.
bool SettleAndLog(const char* pCommand, SettingSources& sources, RunSettings& settings, OpenedInput& input) {
    if (!sources.sConfigFile.empty()) {
        std::string sProblem = ReadConfigurationFile(sources);
        if (!sProblem.empty()) {
            RefuseBeforeTheLog(pCommand, sProblem);
            return false;
        }
    }
    SettledSettings settled = SettleSettings(sources);
    // LOG_FILENAME = - is refused, and a log written to "-" would be the very file it refuses:
    // the refusals go to standard error alone.
    if (settled.settings.sLogFilename == "-") {
        for (const std::string& sError : settled.vErrors) RefuseBeforeTheLog(pCommand, sError);
        return false;
    }
    Logger* pLogger = GetLogger();
    pLogger->SetQuiet(settled.settings.bQuiet);
    if (settled.vErrors.empty()) input = OpenInput(pCommand, settled.settings);
    const std::string sClash =
        FilesOfCommand(IsMerge(pCommand), sources.sConfigFile, settled.settings, input.pFile.get()).FirstClash();
    if (!sClash.empty()) {
        RefuseBeforeTheLog(pCommand, sClash);
        return false;
    }
    const std::string sLog = LogFileName(IsMerge(pCommand), settled.settings);
    errno = 0;
    if (!pLogger->CreateOutFile(sLog)) {
        RefuseBeforeTheLog(pCommand, "the log file (" + sLog + ") cannot be written" +
                                         (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string()));
        return false;
    }
    pLogger->Write(Banner(), LogLevel::Info);
    WriteLines(pCommand, settled.vMissing, LogLevel::Detail);
    WriteLines(pCommand, settled.vWarnings, LogLevel::Warning);
    WriteLines(pCommand, settled.vErrors, LogLevel::Error);
    if (!settled.vErrors.empty()) return false;
    pLogger->Write(settled.sDump, LogLevel::Detail);
    settings = settled.settings;
    return true;
}

// Runs work inside the outermost handler: an exception becomes an error line and status 1.
template <class Work>
int Guarded(Work work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        GetLogger()->Write(std::string(PROGRAM_NAME) + ": out of memory\n", LogLevel::Error);
    } catch (const std::exception& e) {
        GetLogger()->Write(std::string(PROGRAM_NAME) + ": " + e.what() + "\n", LogLevel::Error);
    } catch (...) {
        GetLogger()->Write(std::string(PROGRAM_NAME) + ": " + "unhandled exception" + "\n", LogLevel::Error);
    }
    return 1;
}

// The stats file and the MultiQC sections of a run or merge that ended well with figures (a run
// that found no usable line, and a merge of parts of an earlier build, have none); the summary
// lists them with the output.
int WriteReportsOfARun(bool bMerge, const RunSettings& settings, const InputFile& input, RunSummary& summary,
                       double dStartSeconds) {
    if (!summary.figures.bComplete) return 0;
    summary.dWallSeconds = WallClockSeconds() - dStartSeconds;
    summary.vReportFiles = WriteReports(bMerge, settings, input, summary);
    return 0;
}

// A run whose log lost records has not left the record it promises: it fails, saying so last.
int FailWhenTheLogLostRecords(const char* pCommand, int iExitStatus) {
    if (!GetLogger()->LostRecords()) return iExitStatus;
    std::cerr << pCommand << ": the log file (" << GetLogger()->Filename() << ") could not be written completely"
              << std::endl;
    return 1;
}

void WriteTimeTaken(const char* pCommand, double dSeconds) {
    std::ostringstream message;
    message << std::endl
            << pCommand << ": Time taken = " << dSeconds << " secs  (" << dSeconds / 3600.0 << " hrs)" << std::endl;
    GetLogger()->Write(message.str(), LogLevel::Detail);
}

// The summary of a command that ended well, then the warnings that it calls for.
void WriteSummary(const char* pCommand, RunSummary& summary, double dSeconds) {
    summary.dWallSeconds = dSeconds;
    GetLogger()->Write("\n" + FormatRunSummary(summary, PeakMemoryKibibytes()), LogLevel::Summary);
    WriteLines(pCommand, EndOfRunWarnings(summary), LogLevel::Warning);
}

int RunCommand(const std::vector<std::string>& vArguments, double dStartSeconds) {
    SettingSources sources;
    std::string sProblem = ParseArguments(vArguments, false, sources);
    if (!sProblem.empty()) return RefuseBeforeTheLog("main", sProblem);
    RunSettings settings;
    RunSummary summary;
    OpenedInput input;
    bool bSettled = false;
    int iExitStatus = Guarded([&] {
        bSettled = SettleAndLog("main", sources, settings, input);
        if (!bSettled) return 1;
        Progress progress;
        RunPipeline(settings, input.File(), summary, progress);
        return WriteReportsOfARun(false, settings, input.File(), summary, dStartSeconds);
    });
    if (!bSettled) return iExitStatus;  // refused: the refusals end the log
    const double dSeconds = WallClockSeconds() - dStartSeconds;
    if (iExitStatus == 0) WriteSummary("main", summary, dSeconds);
    WriteTimeTaken("main", dSeconds);
    return FailWhenTheLogLostRecords("main", iExitStatus);
}

int MergeCommand(const std::vector<std::string>& vArguments, double dStartSeconds) {
    SettingSources sources;
    std::string sProblem = ParseArguments(vArguments, true, sources);
    if (!sProblem.empty()) return RefuseBeforeTheLog("merge", sProblem);
    RunSettings settings;
    OpenedInput input;
    std::optional<RunSummary> summary;
    bool bSettled = false;
    int iExitStatus = Guarded([&] {
        bSettled = SettleAndLog("merge", sources, settings, input);
        if (!bSettled || RunMergeCommand(settings, input.File(), summary) != 0) return 1;
        return summary ? WriteReportsOfARun(true, settings, input.File(), *summary, dStartSeconds) : 0;
    });
    if (!bSettled) return iExitStatus;
    const double dSeconds = WallClockSeconds() - dStartSeconds;
    if (iExitStatus == 0 && summary) WriteSummary("merge", *summary, dSeconds);
    WriteTimeTaken("merge", dSeconds);
    return FailWhenTheLogLostRecords("merge", iExitStatus);
}

bool Contains(const std::vector<std::string>& vArguments, const char* pWanted) {
    return std::find(vArguments.begin(), vArguments.end(), pWanted) != vArguments.end();
}

}  // namespace

int main(int argc, char** argv) {
    const double dStartSeconds = WallClockSeconds();
    std::vector<std::string> vArguments(argv + 1, argv + argc);
    if (vArguments.empty() || vArguments == std::vector<std::string>{"-q"}) return RefuseMissingArgument();

    // "merge" is the first argument, but for -q before it.
    auto itCommand = std::find_if(vArguments.begin(), vArguments.end(), [](const std::string& s) { return s != "-q"; });
    const bool bMerge = itCommand != vArguments.end() && *itCommand == "merge";
    if (bMerge) vArguments.erase(itCommand);
    if (Contains(vArguments, "--help") || Contains(vArguments, "-h")) {
        std::cout << (bMerge ? MergeHelpText() : HelpText());
        return 0;
    }
    if (Contains(vArguments, "--version")) {
        std::cout << PROGRAM_NAME << std::endl;
        return 0;
    }
    return bMerge ? MergeCommand(vArguments, dStartSeconds) : RunCommand(vArguments, dStartSeconds);
}
