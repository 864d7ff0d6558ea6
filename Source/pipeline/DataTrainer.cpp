#include "DataTrainer.h"

#include <omp.h>

#include <algorithm>
#include <exception>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "Logger.h"
#include "MultiReadScorer.h"
#include "StepProgress.h"
#include "ThreadDataMgr.h"
#include "WallClock.h"

namespace {

// A few consecutive multireads of one job: the unit of work handed to a thread.
struct Chunk {
    int iFirst;
    int iEnd;  // exclusive
    int iJob;
};

// Cuts every job into chunks small enough to keep all threads busy to the end of the container.
std::vector<Chunk> CutIntoChunks(const ThreadDataMgr& jobs, int iSliceSize, int iTeamSize) {
    const int iChunkSize = std::max(1, std::min(1024, iSliceSize / (iTeamSize * 400)));
    std::vector<Chunk> vChunks;
    for (std::size_t t = 0; t < jobs.vJobs.size(); ++t)
        for (int i = jobs.vJobs[t].iStartIndex; i < jobs.vJobs[t].iEndIndex; i += iChunkSize)
            vChunks.push_back(Chunk{i, std::min(i + iChunkSize, jobs.vJobs[t].iEndIndex), static_cast<int>(t)});
    return vChunks;
}

// What the log says of a job: its sampler time and when its last multiread was done.
struct JobRecord {
    double dMcmc = 0.0;
    double dDone = 0.0;
};

// Writes the call_record lines of the chunks to the container's merged file in chunk order,
// whichever order the threads finish them in, and keeps each job's record. The file is written
// through one small buffer. Its state is touched only inside its critical section, by
// whichever thread completes a chunk.
class OrderedCallRecords {
public:
    OrderedCallRecords(const std::string& sName, const std::vector<Chunk>& vAllChunks, int iNumJobs, double dStartTime)
        : sFileName(sName),
          vChunks(vAllChunks),
          vTexts(vAllChunks.size()),
          vDone(vAllChunks.size(), false),
          vJobs(static_cast<std::size_t>(iNumJobs)),
          dStart(dStartTime),
          iNextToWrite(0),
          vBuffer(64 << 10) {
        out.rdbuf()->pubsetbuf(vBuffer.data(), static_cast<std::streamsize>(vBuffer.size()));
        out.open(sFileName, std::ios::out | std::ios::trunc);
    }

    void Complete(int iChunk, std::string&& sText, double dMcmc) {
#pragma omp critical(ordered_call_records)
        {
            vTexts[iChunk] = std::move(sText);
            vDone[iChunk] = true;
            JobRecord& job = vJobs[vChunks[iChunk].iJob];
            job.dMcmc += dMcmc;
            job.dDone = WallClockSeconds() - dStart;
            for (; iNextToWrite < vChunks.size() && vDone[iNextToWrite]; ++iNextToWrite) {
                out << vTexts[iNextToWrite];
                std::string().swap(vTexts[iNextToWrite]);
            }
        }
    }

    // After all chunks: closes the file. A file that could not be written is reported and the
    // run goes on, since the probabilities travel in memory.
    void Finish() {
        out.close();
        if (!out.fail()) return;
        std::ostringstream message;
        message << "trainData: WARNING: the call_record file (" << sFileName
                << ") could not be written completely; its lines are lost." << std::endl;
        GetLogger()->Write(message, true, LogLevel::Warning);
    }

    const std::vector<JobRecord>& Jobs() const { return vJobs; }

private:
    std::string sFileName;
    const std::vector<Chunk>& vChunks;
    std::vector<std::string> vTexts;  // lines of finished chunks not yet written
    std::vector<bool> vDone;
    std::vector<JobRecord> vJobs;
    double dStart;
    std::size_t iNextToWrite;
    std::vector<char> vBuffer;  // the file's buffer; declared before out, so it outlives it
    std::ofstream out;
};

// The log lines of each job: its sampler time and its end, as the jobs of a static division
// would report them.
void LogJobs(const std::vector<JobRecord>& vJobs) {
    for (std::size_t t = 0; t < vJobs.size(); ++t) {
        std::ostringstream message;
        message << "Run" << ": Thrd(" << t << ")   Total elapsed time in this function: " << vJobs[t].dDone
                << " secs   (" << vJobs[t].dDone / 60 << " mins)   In MCMC: " << vJobs[t].dMcmc << " secs" << std::endl;
        GetLogger()->Write(message, true, LogLevel::Detail);
    }
}

// A container holds the multireads of one number of alignments, which names its call_record file.
void CheckAlignmentCount(const MultiRead& m, int iMapNumber) {
    if (m.Size() == iMapNumber) return;
    throw std::invalid_argument("trainData: a multiread of " + std::to_string(m.Size()) +
                                " alignments in the container of " + std::to_string(iMapNumber) + ".");
}

}  // namespace

void DataTrainer::trainData(MultiReadContainer& multiReads, const EvidenceIndex& evidence,
                            const std::map<char, double>& errorScores) {
    if (multiReads.empty()) return;

    Logger* pLogger = GetLogger();
    std::ostringstream message;
    const double dStart = WallClockSeconds();
    const int iMapNumber = multiReads[0].Size();

    int iStart = 0;
    int iEnd = 0;
    GetPartSlice(static_cast<int>(multiReads.size()), iNumParts, iPartToRun, iStart, iEnd);
    const int iNumJobs = std::min(iEnd - iStart, iNumThreads);

    message << "trainData" << ": We'll run with (" << iNumJobs << ") threads." << std::endl;
    pLogger->Write(message, true, LogLevel::Detail);
    if (iNumJobs < 1) return;

    ThreadDataMgr jobs;
    jobs.PopulateJobInfoVector(iStart, iEnd, iNumJobs);
    // No more threads than jobs; chunks of the jobs go to whichever thread is free, so uneven
    // multireads cannot leave a thread idle while another has work queued.
    const int iTeamSize = std::max(1, std::min(iNumJobs, omp_get_max_threads()));
    const std::vector<Chunk> vChunks = CutIntoChunks(jobs, iEnd - iStart, iTeamSize);
    const std::string sMergedFile =
        (sCallRecordDirectory.empty() ? "" : sCallRecordDirectory + "/") + CallRecordFileName(iMapNumber);
    OrderedCallRecords callRecords(sMergedFile, vChunks, iNumJobs, dStart);

    // Slot c holds the first failure of chunk c; written only by the thread that runs it.
    std::vector<std::exception_ptr> vErrors(vChunks.size());

    const int iNumChunks = static_cast<int>(vChunks.size());
#pragma omp parallel num_threads(iTeamSize)
    {
        // This thread's own. No exception may leave the parallel region: a thread whose scorer
        // cannot be made records that failure for each of its chunks.
        std::unique_ptr<MultiReadScorer> pScorer;
        std::exception_ptr pSetupError;
        try {
            pScorer = std::make_unique<MultiReadScorer>(model, probMode);
        } catch (...) {
            pSetupError = std::current_exception();
        }
#pragma omp for schedule(dynamic, 1)
        for (int c = 0; c < iNumChunks; ++c) {
            std::string sText;
            double dMcmc = 0.0;
            if (pSetupError) vErrors[c] = pSetupError;
            // A multiread that fails is recorded; the others are still scored.
            for (int idx = vChunks[c].iFirst; pScorer && idx < vChunks[c].iEnd; ++idx) {
                try {
                    CheckAlignmentCount(multiReads[idx], iMapNumber);
                    dMcmc += pScorer->Score(multiReads[idx], evidence, errorScores, sText);
                } catch (...) {
                    if (!vErrors[c]) vErrors[c] = std::current_exception();
                }
            }
            callRecords.Complete(c, std::move(sText), dMcmc);
            if (pProgress != nullptr) pProgress->Add(vChunks[c].iEnd - vChunks[c].iFirst);
        }
    }

    // The first failure, in container order, ends the run.
    for (const std::exception_ptr& pError : vErrors)
        if (pError) std::rethrow_exception(pError);
    callRecords.Finish();
    LogJobs(callRecords.Jobs());

    double dElapsed = WallClockSeconds() - dStart;
    message << "trainData" << ":  Total elapsed time in this function: " << dElapsed << " secs, ("
            << dElapsed / 60 << " mins)" << std::endl;
    pLogger->Write(message, true, LogLevel::Detail);
}
