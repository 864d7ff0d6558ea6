#include "KorvexCalc.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "Logger.h"
#include "MC2.h"
#include "ThreadDataMgr.h"
#include "utils.h"

namespace {

// Which probabilities a job computes and stores, from the exact PROB_OUTPUT text.
enum class ProbMode { Both, Bayes, Proportional };

ProbMode ParseProbMode(const std::string& probOutput) {
    if (probOutput == "BOTH") return ProbMode::Both;
    if (probOutput == "BAYES") return ProbMode::Bayes;
    return ProbMode::Proportional;
}

// The working data of one job, sized once for N alignments of length L and reused for
// every multiread of the job; only the contents are reset per multiread. Owned by the
// KorvexCalc::Run call that creates it and touched only by that job's thread.
struct JobScratch {
    JobScratch(int iNumAlignments, int iSeqLength, int iDrawRows)
        : iN(iNumAlignments),
          iL(iSeqLength),
          pZCells(new bool[static_cast<std::size_t>(iN) * iL]()),
          vZRows(iN),
          vDrawCells(static_cast<std::size_t>(std::max(iDrawRows, 1)) * iN * iL),
          vDrawRows(std::max(iDrawRows, 1)),
          vEvidence(iN, std::vector<std::vector<MisMatchData>>(iL)),
          vQualities(iN),
          vCounts(iN),
          vMismatchCounts(iN),
          vProb(iN),
          vUniformShare(iN),
          vUniqueShare(iN) {
        for (int j = 0; j < iN; ++j) vZRows[j] = pZCells.get() + static_cast<std::size_t>(j) * iL;
        for (std::size_t t = 0; t < vDrawRows.size(); ++t)
            vDrawRows[t] = vDrawCells.data() + t * static_cast<std::size_t>(iN) * iL;
    }

    int iN;
    int iL;
    std::unique_ptr<bool[]> pZCells;  // N x L mismatch flags, row-major; freed with the scratch
    std::vector<bool*> vZRows;        // borrowed rows of pZCells
    std::vector<double> vDrawCells;   // T x (N*L) chain values, row-major
    std::vector<double*> vDrawRows;   // borrowed rows of vDrawCells
    std::vector<std::vector<std::vector<MisMatchData>>> vEvidence;  // [j][k]; cleared, never shrunk
    std::vector<std::string> vQualities;
    std::vector<int> vCounts;          // unique reads in each alignment's flanking window
    std::vector<int> vMismatchCounts;  // true flags in each row of Z
    std::vector<double> vProb;         // sampler's posterior
    std::vector<double> vUniformShare;
    std::vector<double> vUniqueShare;
};

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

void OpenCallRecordFile(const JobInfo& job) {
    if (job.pOutFile == nullptr) {
        std::ostringstream message;
        message << "Run" << ": Thrd(" << job.iThreadNumber << ")  ERROR: no output stream for ("
                << job.sOutFileName << ").";
        throw std::invalid_argument(message.str());
    }
    if (job.pOutFile->is_open()) job.pOutFile->close();
    job.pOutFile->open(job.sOutFileName, std::ios::out | std::ios::trunc);
    // The probabilities travel in memory, so the job goes on; the user is told that this
    // job's call_record lines are lost.
    if (!job.pOutFile->is_open()) {
        std::ostringstream message;
        message << "Run" << ": Thrd(" << job.iThreadNumber << ")  WARNING: could not open ("
                << job.sOutFileName << ") for writing; its call_record lines are lost." << std::endl;
        std::cout << message.str() << std::flush;
    }
}

// Z row j: one flag per read position holding a mismatch of alignment j.
void FillMismatchFlags(const Read& r, int j, JobScratch& scratch) {
    bool* pRow = scratch.vZRows[j];
    std::fill(pRow, pRow + scratch.iL, false);
    int iFlagged = 0;
    for (const ReadMismatch& mismatch : r.vMismatches) {
        if (mismatch.position < 0 || mismatch.position >= scratch.iL) continue;
        if (!pRow[mismatch.position]) ++iFlagged;
        pRow[mismatch.position] = true;
    }
    scratch.vMismatchCounts[j] = iFlagged;
}

// The alignments with the fewest mismatches share the proportional estimates: equally
// (uniform share), or by their unique-read counts when those add up to at least one.
void ComputeProportionalEstimates(JobScratch& scratch) {
    std::fill(scratch.vUniformShare.begin(), scratch.vUniformShare.end(), 0.0);
    std::fill(scratch.vUniqueShare.begin(), scratch.vUniqueShare.end(), 0.0);
    const int iMinMismatches = min_value(scratch.vMismatchCounts);
    int iNumBest = 0;
    int iUniqueSum = 0;
    for (int j = 0; j < scratch.iN; ++j) {
        if (scratch.vMismatchCounts[j] != iMinMismatches) continue;
        ++iNumBest;
        iUniqueSum += scratch.vCounts[j];
    }
    for (int j = 0; j < scratch.iN; ++j) {
        if (scratch.vMismatchCounts[j] != iMinMismatches) continue;
        scratch.vUniformShare[j] = 1.0 / iNumBest;
        scratch.vUniqueShare[j] = iUniqueSum >= 1
                                      ? static_cast<double>(scratch.vCounts[j]) / static_cast<double>(iUniqueSum)
                                      : scratch.vUniformShare[j];
    }
}

void WriteCallRecordLine(std::ostream& out, const Read& r, double dUniformShare, double dUniqueShare,
                         double dPosterior) {
    out << r.readID << '\t' << r.chromosome << '\t' << r.position << '\t' << dUniformShare << '\t' << dUniqueShare << '\t' << dPosterior << "\n";
    out.flush();
}

void StoreProbabilities(Read& r, ProbMode mode, double dUniqueShare, double dPosterior) {
    switch (mode) {
        case ProbMode::Both:
            r.probability[0] = dUniqueShare;
            r.probability[1] = dPosterior;
            break;
        case ProbMode::Bayes:
            r.probability[0] = dPosterior;
            break;
        case ProbMode::Proportional:
            r.probability[0] = dUniqueShare;
            break;
    }
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
        std::cout << line.str() << std::flush;
        dPreviousElapsed = dElapsed;
    }

    void LogSummary(int iThreadNumber) const {
        const double dTotal = dElapsed + (WallClockSeconds() - dLastReport);
        std::ostringstream message;
        message << "Run" << ": Thrd(" << iThreadNumber << ")   Total elapsed time in this function: " << dTotal
                << " secs   (" << dTotal / 60 << " mins)" << std::endl;
        GetLogger()->Write(message, true);
    }
};

// Quality text, window count and, when the sampler needs them, the per-position evidence
// lists of alignment j. The lists stay empty when no unique read lies in the window.
void GatherEvidence(KorvexCalc& calc, const std::vector<MultiRead*>& uniqueReads, const Read& r, int j,
                    std::vector<int>& uniquePositions, bool strandness, bool bNeedLists, JobScratch& scratch) {
    scratch.vQualities[j].assign(r.quality, static_cast<std::size_t>(r.QualityLength()));
    int iFirst = 0;
    int iLast = -1;
    scratch.vCounts[j] =
        calc.countMatchingUniqueReads_at_flanking(uniqueReads, r, uniquePositions, strandness, iLast, iFirst);
    if (!bNeedLists) return;
    std::vector<std::vector<MisMatchData>>& vRow = scratch.vEvidence[j];
    for (int k = 0; k < scratch.iL; ++k) {
        vRow[k].clear();
        if (scratch.vCounts[j] > 0)
            calc.FindMatchingUniqueReads_at_k_2(k, uniqueReads, r, uniquePositions, iLast, iFirst, vRow[k],
                                                strandness);
    }
}

}  // namespace

void KorvexCalc::Run(std::vector<MultiRead*>& uniqueReads, std::vector<MultiRead*>& multiReads,
                     std::map<char, double>& error_score, std::vector<int>& uniquePositions, JobInfo& job,
                     std::string probOutput, bool strandness) {
    const double dStart = WallClockSeconds();
    CheckJobRange(job, multiReads.size());

    // All multireads of a container have the N of its first element; an empty job needs none.
    const int iNumAlignments = job.iStartIndex < job.iEndIndex ? multiReads[0]->Size() : 0;
    const ProbMode mode = ParseProbMode(probOutput);
    // The chain and the evidence lists are only needed when the sampler runs.
    const bool bSampler = mode != ProbMode::Proportional;
    JobScratch scratch(iNumAlignments, iSeqLength, bSampler ? iTotalIterations : 0);
    MCMCcalculator sampler(iNumAlignments, iSeqLength, iTotalIterations, iBurninIterations, dPolymorphismRate);
    JobClock clock(dStart);

    OpenCallRecordFile(job);
    std::ofstream& outFile = *job.pOutFile;

    for (int idx = job.iStartIndex; idx < job.iEndIndex; ++idx) {
        MultiRead* m = multiReads[idx];
        for (int j = 0; j < iNumAlignments; ++j) {
            const Read& r = m->Reads(j);
            GatherEvidence(*this, uniqueReads, r, j, uniquePositions, strandness, bSampler, scratch);
            FillMismatchFlags(r, j, scratch);
        }

        std::fill(scratch.vProb.begin(), scratch.vProb.end(), 0.0);
        if (bSampler) {
            // Every multiread's chain starts at 1e-06. The sampler reads only row 0 and
            // overwrites every later row whole, so resetting row 0 resets the chain.
            std::fill(scratch.vDrawRows[0], scratch.vDrawRows[0] + iNumAlignments * iSeqLength, 0.000001);
            clock.dMcmc += sampler.Run(scratch.vEvidence, scratch.vZRows.data(), error_score,
                                       scratch.vDrawRows.data(), scratch.vProb, scratch.vQualities, scratch.vCounts);
        }

        ComputeProportionalEstimates(scratch);
        for (int j = 0; j < iNumAlignments; ++j) {
            Read& r = m->Reads(j);
            WriteCallRecordLine(outFile, r, scratch.vUniformShare[j], scratch.vUniqueShare[j], scratch.vProb[j]);
            StoreProbabilities(r, mode, scratch.vUniqueShare[j], scratch.vProb[j]);
        }

        if (idx % 5000 == 0) clock.ReportProgress(job.iThreadNumber, idx);
    }

    outFile.close();
    clock.LogSummary(job.iThreadNumber);
}
