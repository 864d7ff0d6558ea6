#include "ThreadDataMgr.h"

#include <algorithm>
#include <stdexcept>

void GetPartSlice(int n, int iNumParts, int iPartToRun, int& start, int& end) {
    if (n > iNumParts) {
        int iChunk = n / iNumParts;
        start = (iPartToRun - 1) * iChunk;
        end = start + iChunk;
        // The last part takes the remainder of the division.
        if (iPartToRun == iNumParts) end = std::max(n, end);
    } else {
        // Fewer multireads than parts: every part computes the whole container.
        start = 0;
        end = n;
    }
}

std::string CallRecordFileName(int iNumAlignments) {
    return "call_record_L" + std::to_string(iNumAlignments) + "_combined";
}

int ThreadDataMgr::PopulateJobInfoVector(int iStart, int iEnd, int iNumJobs) {
    vJobs.clear();
    if (iEnd - iStart == 0) return 0;
    if (iNumJobs < 1)
        throw std::invalid_argument("PopulateJobInfoVector: the number of jobs (" + std::to_string(iNumJobs) +
                                    ") must be at least 1 for a non-empty slice.");

    int iChunk = std::max((iEnd - iStart) / iNumJobs, 1);
    vJobs.reserve(iNumJobs);
    int iCurrent = iStart;
    for (int t = 0; t < iNumJobs; ++t) {
        JobInfo job{iCurrent, iCurrent + iChunk, t};
        // The last job takes the remainder of the division.
        if (t == iNumJobs - 1 && iCurrent + iChunk < iEnd) job.iEndIndex = iEnd;
        if (job.iStartIndex > iEnd - 1) {
            job.iStartIndex = 0;
            job.iEndIndex = 0;
        } else if (job.iEndIndex > iEnd) {
            job.iEndIndex = iEnd;
        }
        vJobs.push_back(job);
        iCurrent += iChunk;
    }
    return static_cast<int>(vJobs.size());
}
