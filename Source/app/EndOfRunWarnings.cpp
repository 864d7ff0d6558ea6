#include "EndOfRunWarnings.h"

#include <cstdio>

#include "Progress.h"

namespace {

// Not a single read with a second alignment: the aligner was asked for its best alignment alone.
std::string OneAlignmentPerRead(const RunSummary& summary) {
    if (summary.iReadsWithSeveralAlignments > 0) return std::string();
    return "not a single read has two or more alignments: the aligner reported one alignment per read, so every "
           "read looks unique and gets probability 1; align again with the options that report the other "
           "alignments of each read (bowtie -k or -a, bowtie2 -k, bwa mem -a, minimap2 --secondary=yes -N, "
           "hisat2 -k)";
}

std::string Share(int64_t iPart, int64_t iWhole) {
    char sShare[32];
    std::snprintf(sShare, sizeof(sShare), "%.1f %%", 100.0 * static_cast<double>(iPart) / static_cast<double>(iWhole));
    return sShare;
}

// The reason that left out the most alignment lines, when it left out more than half of them.
std::string MostLinesLeftOut(const RunSummary& summary) {
    int64_t iLines = 0;
    std::string sWhat;
    for (const RejectedLines& rejected : summary.vRejected)
        if (rejected.iCount > iLines) {
            iLines = rejected.iCount;
            sWhat = "rejected: " + rejected.sReason + " (first at line " + FormatCount(rejected.iFirstLine) + ")";
        }
    for (const DroppedByKeepRules& dropped : summary.vDropped)
        if (dropped.iLines > iLines) {
            iLines = dropped.iLines;
            sWhat = "dropped by the keep rules: " + dropped.sReason + " (first at line " +
                    FormatCount(dropped.iFirstLine) + ")";
        }
    if (iLines * 2 <= summary.iAlignmentLines) return std::string();
    return FormatCount(iLines) + " of the " + FormatCount(summary.iAlignmentLines) + " alignment lines (" +
           Share(iLines, summary.iAlignmentLines) + ") were " + sWhat + "; the summary lists every reason";
}

}  // namespace

std::vector<std::string> EndOfRunWarnings(const RunSummary& summary) {
    int64_t iAccepted = summary.iAlignmentLines;
    for (const RejectedLines& rejected : summary.vRejected) iAccepted -= rejected.iCount;
    std::vector<std::string> vWarnings;
    if (iAccepted <= 0) return vWarnings;  // a run without a usable line has explained itself
    for (const std::string& sWarning : {OneAlignmentPerRead(summary), MostLinesLeftOut(summary)})
        if (!sWarning.empty()) vWarnings.push_back(sWarning);
    return vWarnings;
}
