#include "SummaryText.h"

#include <sys/resource.h>

#include <cstdio>
#include <vector>

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

// One reason under its item: its count and its first line.
std::string ReasonLine(const std::string& sReason, int64_t iCount, int64_t iFirstLine) {
    return "    " + sReason + ": " + FormatCount(iCount) + " (first at line " + FormatCount(iFirstLine) + ")\n";
}

// File names separated by commas.
std::string JoinedNames(const std::vector<std::string>& vNames) {
    std::string sText;
    for (const std::string& sName : vNames) sText += (sText.empty() ? "" : ", ") + sName;
    return sText;
}

// The reads (bReads) or the alignment lines of kept reads that the keep rules dropped, in all
// and by reason; nothing when there are none.
std::string DroppedItem(const char* pLabel, const std::vector<DroppedByKeepRules>& vDropped, bool bReads) {
    int64_t iTotal = 0;
    std::string sReasons;
    for (const DroppedByKeepRules& dropped : vDropped) {
        if (dropped.bReads != bReads) continue;
        iTotal += dropped.iCount;
        sReasons += ReasonLine(dropped.sReason, dropped.iCount, dropped.iFirstLine);
    }
    return iTotal == 0 ? std::string() : Item(pLabel, FormatCount(iTotal)) + sReasons;
}

// The containers that hold multireads, "56 with 2, 16 with 3 alignments"; with many allowed
// alignments most containers are empty, and they are left out.
std::string MultireadsScored(const std::vector<int64_t>& vScored) {
    std::string sScored;
    for (std::size_t k = 2; k < vScored.size(); ++k) {
        if (vScored[k] == 0) continue;
        sScored += (sScored.empty() ? "" : ", ") + FormatCount(vScored[k]) + " with " + std::to_string(k);
    }
    return sScored.empty() ? "none" : sScored + " alignments";
}

}  // namespace

std::string FormatRunSummary(const RunSummary& summary, long iPeakKibibytes) {
    int64_t iRejected = 0;
    for (const RejectedLines& rejected : summary.vRejected) iRejected += rejected.iCount;
    std::string sText = "Summary\n" + Item("lines read:", FormatCount(summary.iLinesRead)) +
                        Item("lines rejected:", FormatCount(iRejected));
    for (const RejectedLines& rejected : summary.vRejected)
        sText += ReasonLine(rejected.sReason, rejected.iCount, rejected.iFirstLine);
    sText += DroppedItem("reads dropped:", summary.vDropped, true) + DroppedItem("lines dropped:", summary.vDropped, false);
    sText += Item("unique reads:", FormatCount(summary.iUniqueReads));
    sText += Item("multireads scored:", MultireadsScored(summary.vMultireadsScored));
    if (summary.iUniquePairs + summary.iPairMultireads > 0)
        sText += Item("pairs:", FormatCount(summary.iUniquePairs) + " unique, " +
                                    FormatCount(summary.iPairMultireads) + " with 2 or more pair alignments");
    sText += Item("output:", summary.vOutputFiles.empty() ? "none" : JoinedNames(summary.vOutputFiles));
    if (!summary.vReportFiles.empty()) sText += Item("reports:", JoinedNames(summary.vReportFiles));
    char sMemory[32];
    std::snprintf(sMemory, sizeof(sMemory), "%.1f MiB", iPeakKibibytes / 1024.0);
    return sText + Item("wall time:", WallTime(summary.dWallSeconds)) + Item("peak memory:", sMemory);
}
