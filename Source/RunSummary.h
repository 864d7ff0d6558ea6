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

// The figures a run reports at its end; the pipeline fills them, main adds the wall time.
struct RunSummary {
    int64_t iLinesRead = 0;
    std::vector<RejectedLines> vRejected;
    int64_t iUniqueReads = 0;
    int64_t iMultireadsScored[6] = {};  // index: number of kept alignments, 2 to 5
    std::vector<std::string> vOutputFiles;
    double dWallSeconds = 0.0;
};

// The peak resident memory of the process so far, in kibibytes.
long PeakMemoryKibibytes();

// The short end-of-run summary, several lines each ending with a line end.
std::string FormatRunSummary(const RunSummary& summary, long iPeakKibibytes);

#endif
