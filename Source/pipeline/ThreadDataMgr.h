#ifndef KORVEX_THREADDATAMGR_H
#define KORVEX_THREADDATAMGR_H

#include <string>
#include <vector>

// One job: a contiguous index range of a container.
struct JobInfo {
    int iStartIndex;
    int iEndIndex;  // exclusive
    int iThreadNumber;
};

// The part cut: this run's slice [start, end) of a container of n multireads.
void GetPartSlice(int n, int iNumParts, int iPartToRun, int& start, int& end);

// The name of the file that receives the call_record lines of the container of multireads
// with iNumAlignments alignments.
std::string CallRecordFileName(int iNumAlignments);

// The jobs of one container run.
class ThreadDataMgr {
public:
    // Cuts [iStart, iEnd) into iNumJobs jobs; the last takes the remainder of the division.
    int PopulateJobInfoVector(int iStart, int iEnd, int iNumJobs);

    std::vector<JobInfo> vJobs;
};

#endif
