#ifndef KORVEX_RUNSUMMARY_H
#define KORVEX_RUNSUMMARY_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Input lines left out of a run for one reason.
struct RejectedLines {
    std::string sReason;
    int64_t iCount = 0;
    int64_t iFirstLine = 0;  // 1-based number of the first such line
};

inline bool operator==(const RejectedLines& a, const RejectedLines& b) {
    return a.sReason == b.sReason && a.iCount == b.iCount && a.iFirstLine == b.iFirstLine;
}

// What the keep rules left out for one reason: reads (or alignment lines of kept reads).
struct DroppedByKeepRules {
    std::string sReason;
    int64_t iCount = 0;      // reads, or lines for a reason that drops lines
    int64_t iFirstLine = 0;  // of the first such read or line
    int64_t iLines = 0;      // the alignment lines left out
    bool bReads = true;      // whether iCount counts reads
};

inline bool operator==(const DroppedByKeepRules& a, const DroppedByKeepRules& b) {
    return a.sReason == b.sReason && a.iCount == b.iCount && a.iFirstLine == b.iFirstLine && a.iLines == b.iLines &&
           a.bReads == b.bReads;
}

// A count under a stable key ("unmapped").
typedef std::vector<std::pair<std::string, int64_t>> KeyedCounts;

// The figures of the stats file and the MultiQC sections (RunFigures.h): those of Step 1, the
// same in every part of a divided run, and those of the multireads whose values the run writes,
// which the parts' figures add up to.
struct RunFigures {
    bool bComplete = false;     // false: not known (an empty run; a merge of parts of an earlier build)
    KeyedCounts vRejected;      // every reason, zero or not, in a fixed order
    KeyedCounts vDropped;       // every reason of the keep rules, zero or not
    std::vector<int64_t> vMultireadsWritten;  // index: number of kept alignments; 0 and 1 stay 0
    std::vector<int64_t> vTopValueBins;       // ten bins of the top value per multiread
    std::string sTopValueOf;                  // "posterior" or "unique_share"
};

// The figures a run reports at its end; the pipeline fills them, the entry point adds the wall
// time and writes them (SummaryText.h).
struct RunSummary {
    int64_t iLinesRead = 0;
    int64_t iAlignmentLines = 0;  // lines other than header lines: accepted or rejected
    std::vector<RejectedLines> vRejected;
    std::vector<DroppedByKeepRules> vDropped;
    int64_t iReadsWithSeveralAlignments = 0;  // reads with two or more accepted lines, before the keep rules
    int64_t iUniqueReads = 0;
    int64_t iUniquePairs = 0;     // pair reads with one kept pair alignment: each mate is a unique read
    int64_t iPairMultireads = 0;  // pair reads with two or more, among the multireads
    std::vector<int64_t> vMultireadsScored;  // index: number of kept alignments, 2 to the largest container's
    std::vector<std::string> vOutputFiles;
    std::vector<std::string> vReportFiles;  // the stats file and the MultiQC sections
    double dWallSeconds = 0.0;
    RunFigures figures;
};

#endif
