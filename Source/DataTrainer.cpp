#include "DataTrainer.h"

#include <omp.h>

#include <algorithm>
#include <exception>
#include <sstream>

#include "KorvexCalc.h"
#include "Logger.h"
#include "ThreadDataMgr.h"
#include "utils.h"

namespace {

// Runs the jobs [iFirst, iLast) one after another. An exception of a job is stored in
// its own slot of vErrors, so the other jobs still run and nothing escapes the region.
void RunJobRange(int iFirst, int iLast, std::vector<KorvexCalc>& vCalcs, ThreadDataMgr& jobs,
                 std::vector<MultiRead*>& uniqueReads, std::vector<MultiRead*>& multiReads,
                 std::map<char, double>& error_score, std::vector<int>& uniquePositions,
                 const std::string& probOutput, bool strandness, std::vector<std::exception_ptr>& vErrors) {
    for (int i = iFirst; i < iLast; ++i) {
        try {
            vCalcs[i].Run(uniqueReads, multiReads, error_score, uniquePositions, *jobs.vJobs[i], probOutput,
                          strandness);
        } catch (...) {
            vErrors[i] = std::current_exception();
        }
    }
}

}  // namespace

void DataTrainer::trainData(std::vector<MultiRead*>& uniqueReads, std::vector<MultiRead*>& multiReads,
                            std::map<char, double>& error_score, std::vector<int>& uniquePositions,
                            std::string probOutput, bool strandness) {
    if (multiReads.empty()) return;

    Logger* pLogger = GetLogger();
    std::ostringstream message;
    double dStart = WallClockSeconds();
    int iMapNumber = multiReads[0]->Size();

    int iStart = 0;
    int iEnd = 0;
    GetPartSlice(static_cast<int>(multiReads.size()), iNumParts, iPartToRun, iStart, iEnd);
    int iNumJobs = std::min(iEnd - iStart, iNumThreads);

    message << "trainData" << ": We'll run with (" << iNumJobs << ") threads." << std::endl;
    pLogger->Write(message, true);

    ThreadDataMgr jobs;  // owns the job records; job i's record is touched only by the thread running it
    jobs.PopulateJobInfoVector(iStart, iEnd, iNumJobs, iMapNumber, iPartToRun);

    // Each job's calculation is a copy of the five calculation fields.
    const KorvexCalc calc{iSeqLength, iFlankingValue, dPolymorphismRate, iTotalIterations, iBurninIterations};
    // Owned here; element i is used only by the thread that runs job i.
    std::vector<KorvexCalc> vCalcs(static_cast<std::size_t>(std::max(iNumJobs, 0)), calc);
    // Slot i is written only by the thread that runs job i; read after the region.
    std::vector<std::exception_ptr> vErrors(vCalcs.size());

#pragma omp parallel
    {
        // Static division: thread k runs the jobs k*q .. min((k+1)*q, J), q = ceil(J / T).
        int iTeamSize = omp_get_num_threads();
        int iThread = omp_get_thread_num();
        int iPerThread = (iNumJobs + iTeamSize - 1) / iTeamSize;
        int iFirst = iThread * iPerThread;
        int iLast = std::min((iThread + 1) * iPerThread, iNumJobs);
        RunJobRange(iFirst, iLast, vCalcs, jobs, uniqueReads, multiReads, error_score, uniquePositions,
                    probOutput, strandness, vErrors);
    }

    // The first failed job, in job order, ends the run; the job files are left unmerged.
    for (const std::exception_ptr& pError : vErrors)
        if (pError) std::rethrow_exception(pError);

    if (iNumJobs > 0) jobs.MergeOutputFiles();

    double dElapsed = WallClockSeconds() - dStart;
    message << "trainData" << ":  Total elapsed time in this function: " << dElapsed << " secs, ("
            << dElapsed / 60 << " mins)" << std::endl;
    pLogger->Write(message, true);
}
