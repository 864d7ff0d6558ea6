#include "Progress.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <utility>

namespace {

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string FormatCount(int64_t iCount) {
    std::string sDigits = std::to_string(iCount < 0 ? -iCount : iCount);
    for (std::size_t i = sDigits.size(); i > 3; i -= 3) sDigits.insert(i - 3, ",");
    return iCount < 0 ? "-" + sDigits : sDigits;
}

std::string FormatDuration(double dSeconds) {
    const long long iSeconds = std::llround(std::max(0.0, dSeconds));
    if (iSeconds < 60) return std::to_string(iSeconds) + " s";
    if (iSeconds < 3600) return std::to_string(iSeconds / 60) + " min " + std::to_string(iSeconds % 60) + " s";
    return std::to_string(iSeconds / 3600) + " h " + std::to_string(iSeconds % 3600 / 60) + " min";
}

Progress::Progress() : Progress(std::cerr, isatty(STDERR_FILENO) != 0, SteadySeconds, 10.0) {}

Progress::Progress(std::ostream& out, bool bIsTerminal, Clock clockSeconds, double dInterval)
    : pOut(&out), bTerminal(bIsTerminal), clock(std::move(clockSeconds)), dIntervalSeconds(dInterval) {}

void Progress::Start(int64_t iTotalMultireads) {
    iTotal = iTotalMultireads;
    dStartSeconds = clock();
    iDoneCount = 0;
    dNextReportSeconds = dStartSeconds + dIntervalSeconds;
    bReported = false;
    iLastLength = 0;
}

void Progress::Add(int64_t iDone) {
    iDoneCount.fetch_add(iDone, std::memory_order_relaxed);
    const double dNow = clock();
    if (dNow < dNextReportSeconds.load(std::memory_order_relaxed)) return;
    std::lock_guard<std::mutex> lock(reportMutex);
    if (dNow < dNextReportSeconds.load(std::memory_order_relaxed)) return;  // another thread has just reported
    Report(iDoneCount.load(std::memory_order_relaxed), dNow);
    dNextReportSeconds.store(dNow + dIntervalSeconds, std::memory_order_relaxed);
}

void Progress::Finish() {
    std::lock_guard<std::mutex> lock(reportMutex);
    if (!bReported) return;
    const int64_t iDone = iDoneCount.load(std::memory_order_relaxed);
    Print("Step 2: " + FormatCount(iDone) + " of " + FormatCount(iTotal) + " multireads, done in " +
              FormatDuration(clock() - dStartSeconds),
          true);
}

std::string Progress::ReportText(int64_t iDone, int64_t iTotal, double dElapsedSeconds) {
    char sPercent[32];
    std::snprintf(sPercent, sizeof(sPercent), "%.1f", iTotal > 0 ? 100.0 * iDone / iTotal : 100.0);
    std::string sText = "Step 2: " + FormatCount(iDone) + " of " + FormatCount(iTotal) + " multireads (" +
                        sPercent + " %), ";
    if (iDone <= 0) return sText + "time left not yet known";
    return sText + "about " + FormatDuration(dElapsedSeconds * (iTotal - iDone) / iDone) + " left";
}

void Progress::Report(int64_t iDone, double dNow) {
    Print(ReportText(iDone, iTotal, dNow - dStartSeconds), false);
    bReported = true;
}

void Progress::Print(const std::string& sText, bool bLast) {
    if (!bTerminal) {
        *pOut << sText << '\n' << std::flush;
        return;
    }
    *pOut << '\r' << sText;
    if (sText.size() < iLastLength) *pOut << std::string(iLastLength - sText.size(), ' ');
    iLastLength = sText.size();
    if (bLast) *pOut << '\n';
    *pOut << std::flush;
}
