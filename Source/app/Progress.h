#ifndef KORVEX_PROGRESS_H
#define KORVEX_PROGRESS_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

#include "StepProgress.h"

// "52,129": a count with its thousands grouped.
std::string FormatCount(int64_t iCount);

// "40 s", "1 min 40 s", "2 h 5 min": a duration rounded to whole seconds.
std::string FormatDuration(double dSeconds);

// Tells how far Step 2 has come: at most every interval, the multireads done of the total,
// the percentage and the time left, as one updating line when the stream is a terminal and
// one line per report otherwise. A run shorter than one interval reports nothing. Start
// and Finish run on the initial thread; Add may be called from every worker thread.
class Progress : public StepProgress {
public:
    using Clock = std::function<double()>;  // seconds on a clock that never goes back

    // Standard error, updating in place when it is a terminal, every 10 seconds.
    Progress();
    Progress(std::ostream& out, bool bTerminal, Clock clock, double dIntervalSeconds);

    void Start(int64_t iTotal) override;
    void Add(int64_t iDone) override;
    // Closes the reports with the final count and the time taken, when any was made.
    void Finish() override;

    // The text of one report, without line end.
    static std::string ReportText(int64_t iDone, int64_t iTotal, double dElapsedSeconds);

private:
    void Report(int64_t iDone, double dNow);
    void Print(const std::string& sText, bool bLast);

    std::ostream* pOut;  // not owned
    bool bTerminal;
    Clock clock;
    double dIntervalSeconds;
    int64_t iTotal = 0;
    double dStartSeconds = 0.0;
    std::atomic<int64_t> iDoneCount{0};
    std::atomic<double> dNextReportSeconds{0.0};
    std::mutex reportMutex;  // taken only when a report is due; guards the fields below and the stream
    bool bReported = false;
    std::size_t iLastLength = 0;  // of the line on the terminal, to blank out what a shorter one leaves
};

#endif
