#ifndef KORVEX_RUNSUMMARY_H
#define KORVEX_RUNSUMMARY_H

#include <cstdint>
#include <string>
#include <vector>

// Input lines left out of a run for one reason.
struct RejectedLines {
    std::string sReason;
    int64_t iCount = 0;
    int64_t iFirstLine = 0;  // 1-based number of the first such line
};

// The figures a run reports at its end; the pipeline fills them, the entry point adds the wall
// time and writes them (SummaryText.h).
struct RunSummary {
    int64_t iLinesRead = 0;
    std::vector<RejectedLines> vRejected;
    int64_t iUniqueReads = 0;
    int64_t iUniquePairs = 0;     // pair reads with one kept pair alignment: each mate is a unique read
    int64_t iPairMultireads = 0;  // pair reads with two or more, among the multireads
    std::vector<int64_t> vMultireadsScored;  // index: number of kept alignments, 2 to the largest container's
    std::vector<std::string> vOutputFiles;
    double dWallSeconds = 0.0;
};

#endif
