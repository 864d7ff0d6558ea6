#include "ThreadDataMgr.h"

#include <algorithm>
#include <iostream>
#include <stdexcept>

#include "StringUtils.h"
#include "utils.h"

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

ThreadDataMgr::ThreadDataMgr() {}

ThreadDataMgr::~ThreadDataMgr() { ReleaseJobs(); }

void ThreadDataMgr::ReleaseJobs() {
    for (JobInfo* pJob : vJobs) {
        delete pJob->pOutFile;
        delete pJob;
    }
    vJobs.clear();
}

int ThreadDataMgr::PopulateJobInfoVector(int iStart, int iEnd, int iNumJobs, int iMapNumber, int iPart) {
    ReleaseJobs();
    if (iEnd - iStart == 0) return 0;
    if (iNumJobs < 1)
        throw std::invalid_argument("PopulateJobInfoVector: the number of jobs (" + convertS(iNumJobs) +
                                    ") must be at least 1 for a non-empty slice.");

    int iChunk = std::max((iEnd - iStart) / iNumJobs, 1);
    std::string sCombinedFileName = "call_record_L" + convertS(iMapNumber) + "_combined";
    std::string sNamePrefix = "call_record_L" + convertS(iMapNumber) + "_p" + convertS(iPart, 3) + "_t";

    vJobs.reserve(iNumJobs);
    int iCurrent = iStart;
    for (int t = 0; t < iNumJobs; ++t) {
        JobInfo* pJob = new JobInfo();
        pJob->sOutFileName = sNamePrefix + convertS(t, 3) + ".txt";
        pJob->sCombinedFileName = sCombinedFileName;
        pJob->iStartIndex = iCurrent;
        pJob->iEndIndex = iCurrent + iChunk;
        pJob->iThreadNumber = t;
        // The last job takes the remainder of the division.
        if (t == iNumJobs - 1 && iCurrent + iChunk < iEnd) pJob->iEndIndex = iEnd;
        if (pJob->iStartIndex > iEnd - 1) {
            pJob->iStartIndex = 0;
            pJob->iEndIndex = 0;
        } else if (pJob->iEndIndex > iEnd) {
            pJob->iEndIndex = iEnd;
        }
        pJob->pOutFile = new std::ofstream();
        vJobs.push_back(pJob);
        iCurrent += iChunk;
    }
    return static_cast<int>(vJobs.size());
}
