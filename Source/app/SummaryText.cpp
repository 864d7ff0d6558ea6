#include "SummaryText.h"

#include <sys/resource.h>

#include <cstdio>

#include "Progress.h"

long PeakMemoryKibibytes() {
    struct rusage usage {};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return usage.ru_maxrss;  // kibibytes on Linux
}

namespace {

std::string Item(const char* pLabel, const std::string& sValue) {
    char sLabel[32];
    std::snprintf(sLabel, sizeof(sLabel), "  %-19s", pLabel);
    return sLabel + sValue + "\n";
}

std::string WallTime(double dSeconds) {
    if (dSeconds >= 60.0) return FormatDuration(dSeconds);
    char sText[32];
    std::snprintf(sText, sizeof(sText), "%.2f s", dSeconds);
    return sText;
}

}  // namespace

std::string FormatRunSummary(const RunSummary& summary, long iPeakKibibytes) {
    int64_t iRejected = 0;
    for (const RejectedLines& rejected : summary.vRejected) iRejected += rejected.iCount;
    std::string sText = "Summary\n" + Item("lines read:", FormatCount(summary.iLinesRead)) +
                        Item("lines rejected:", FormatCount(iRejected));
    for (const RejectedLines& rejected : summary.vRejected)
        sText += "    " + rejected.sReason + ": " + FormatCount(rejected.iCount) + " (first at line " +
                 FormatCount(rejected.iFirstLine) + ")\n";
    sText += Item("unique reads:", FormatCount(summary.iUniqueReads));
    std::string sScored;
    for (std::size_t k = 2; k < summary.vMultireadsScored.size(); ++k)
        sScored += (k > 2 ? ", " : "") + FormatCount(summary.vMultireadsScored[k]) + " with " + std::to_string(k);
    sText += Item("multireads scored:", sScored + " alignments");
    if (summary.iUniquePairs + summary.iPairMultireads > 0)
        sText += Item("pairs:", FormatCount(summary.iUniquePairs) + " unique, " +
                                    FormatCount(summary.iPairMultireads) + " with 2 or more pair alignments");
    std::string sOutputs;
    for (const std::string& sFile : summary.vOutputFiles) sOutputs += (sOutputs.empty() ? "" : ", ") + sFile;
    sText += Item("output:", sOutputs.empty() ? "none" : sOutputs);
    char sMemory[32];
    std::snprintf(sMemory, sizeof(sMemory), "%.1f MiB", iPeakKibibytes / 1024.0);
    return sText + Item("wall time:", WallTime(summary.dWallSeconds)) + Item("peak memory:", sMemory);
}
