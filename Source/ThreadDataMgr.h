#ifndef KORVEX_THREADDATAMGR_H
#define KORVEX_THREADDATAMGR_H

#include <fstream>
#include <string>
#include <vector>

// One job: a contiguous index range of a container and its call_record file.
struct JobInfo {
    int iStartIndex;
    int iEndIndex;  // exclusive
    int iThreadNumber;
    std::ofstream* pOutFile;  // owned by the ThreadDataMgr; opened and written by the job's thread only
    std::string sOutFileName;
    std::string sCombinedFileName;
};

// The part cut: this run's slice [start, end) of a container of n multireads.
void GetPartSlice(int n, int iNumParts, int iPartToRun, int& start, int& end);

// Owns the jobs of one container run.
class ThreadDataMgr {
public:
    ThreadDataMgr();
    virtual ~ThreadDataMgr();
    ThreadDataMgr(const ThreadDataMgr&) = delete;
    ThreadDataMgr& operator=(const ThreadDataMgr&) = delete;

    int PopulateJobInfoVector(int iStart, int iEnd, int iNumJobs, int iMapNumber, int iPart);

    // Owning: records and their streams are deleted by the destructor (or a new population).
    std::vector<JobInfo*> vJobs;

private:
    void ReleaseJobs();
};

#endif
