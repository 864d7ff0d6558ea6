#include "KorvexCalc.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "Logger.h"
#include "MultiReadScorer.h"
#include "ThreadDataMgr.h"
#include "utils.h"

namespace {

void CheckJobRange(const JobInfo& job, std::size_t iSize) {
    if (job.iStartIndex >= 0 && static_cast<std::size_t>(job.iEndIndex) <= iSize &&
        job.iStartIndex <= job.iEndIndex)
        return;
    std::ostringstream message;
    message << "Run" << ": Thrd(" << job.iThreadNumber << ")  ERROR: iStartIndex (" << job.iStartIndex
            << ") must be >= zero, and iEndIndex (" << job.iEndIndex
            << ") must be <= MultiRead vector size (" << iSize << ").";
    throw std::invalid_argument(message.str());
}

// Elapsed times of one job for its progress and summary lines.
struct JobClock {
    explicit JobClock(double dStart) : dLastReport(dStart) {}

    double dLastReport;
    double dElapsed = 0.0;
    double dPreviousElapsed = 0.0;
    double dMcmc = 0.0;

    void ReportProgress(int iThreadNumber, int idx) {
        const double dNow = WallClockSeconds();
        dElapsed += dNow - dLastReport;
        dLastReport = dNow;
        std::ostringstream line;
        line << "Run" << ": Thrd(" << iThreadNumber << "),  MultiRead[" << idx
             << "]\t Elapsed time in this function: " << dElapsed << " secs"
             << "   In MCMC: " << dMcmc << " secs"
             << "   SinceLastReport: " << (dElapsed - dPreviousElapsed) << " secs" << std::endl;
        GetLogger()->Write(line.str(), LogLevel::Detail);
        dPreviousElapsed = dElapsed;
    }

    void LogSummary(int iThreadNumber) const {
        const double dTotal = dElapsed + (WallClockSeconds() - dLastReport);
        std::ostringstream message;
        message << "Run" << ": Thrd(" << iThreadNumber << ")   Total elapsed time in this function: " << dTotal
                << " secs   (" << dTotal / 60 << " mins)" << std::endl;
        GetLogger()->Write(message, true, LogLevel::Detail);
    }
};

// Writes a job's call_record lines in one piece; a file that cannot be written is reported and
// the job goes on, since the probabilities travel in memory.
void WriteCallRecordFile(const JobInfo& job, const std::string& sCallRecords) {
    if (job.pOutFile == nullptr) {
        std::ostringstream message;
        message << "Run" << ": Thrd(" << job.iThreadNumber << ")  ERROR: no output stream for ("
                << job.sOutFileName << ").";
        throw std::invalid_argument(message.str());
    }
    std::ofstream& out = *job.pOutFile;
    if (out.is_open()) out.close();
    out.open(job.sOutFileName, std::ios::out | std::ios::trunc);
    out.write(sCallRecords.data(), static_cast<std::streamsize>(sCallRecords.size()));
    out.close();
    if (!out.fail()) return;
    std::ostringstream message;
    message << "Run" << ": Thrd(" << job.iThreadNumber << ")  WARNING: the call_record file (" << job.sOutFileName
            << ") could not be written; its lines are lost." << std::endl;
    GetLogger()->Write(message, true, LogLevel::Warning);
}

}  // namespace

void KorvexCalc::Run(std::vector<MultiRead*>& uniqueReads, std::vector<MultiRead*>& multiReads,
                     std::map<char, double>& error_score, std::vector<int>& uniquePositions, JobInfo& job,
                     std::string probOutput, bool strandness) {
    const double dStart = WallClockSeconds();
    CheckJobRange(job, multiReads.size());
    JobClock clock(dStart);
    std::string sCallRecords;
    if (job.iStartIndex < job.iEndIndex) {
        // All multireads of a container have the N of its first element.
        MultiReadScorer scorer(*this, multiReads[0]->Size(), ParseProbMode(probOutput));
        const Evidence evidence{uniqueReads, uniquePositions, error_score, strandness};
        for (int idx = job.iStartIndex; idx < job.iEndIndex; ++idx) {
            clock.dMcmc += scorer.Score(*multiReads[idx], evidence, sCallRecords);
            if (idx % 5000 == 0) clock.ReportProgress(job.iThreadNumber, idx);
        }
    }
    WriteCallRecordFile(job, sCallRecords);
    clock.LogSummary(job.iThreadNumber);
}
