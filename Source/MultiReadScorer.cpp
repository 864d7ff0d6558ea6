#include "MultiReadScorer.h"

#include <algorithm>
#include <cstdio>

#include "utils.h"

ProbMode ParseProbMode(const std::string& probOutput) {
    if (probOutput == "BOTH") return ProbMode::Both;
    if (probOutput == "BAYES") return ProbMode::Bayes;
    return ProbMode::Proportional;
}

void AppendDouble(std::string& sText, double dValue) {
    char acBuffer[32];
    int iLength = std::snprintf(acBuffer, sizeof(acBuffer), "%g", dValue);
    sText.append(acBuffer, static_cast<std::size_t>(iLength));
}

// The working data, sized once for N alignments of length L; only contents are reset per multiread.
struct MultiReadScorer::Scratch {
    Scratch(int iNumAlignments, int iSeqLength, int iDrawRows)
        : iN(iNumAlignments),
          iL(iSeqLength),
          pZCells(new bool[static_cast<std::size_t>(iN) * iL]()),
          vZRows(iN),
          vDrawCells(static_cast<std::size_t>(iN) * iL),
          vDrawRows(std::max(iDrawRows, 1)),
          vEvidence(iN, std::vector<std::vector<MisMatchData>>(iL)),
          vQualities(iN),
          vCounts(iN),
          vMismatchCounts(iN),
          vProb(iN),
          vUniformShare(iN),
          vUniqueShare(iN) {
        for (int j = 0; j < iN; ++j) vZRows[j] = pZCells.get() + static_cast<std::size_t>(j) * iL;
        // Nothing reads the chain after the sampler: it reads row 0 once, at its start, and then
        // only writes rows, so every row may be the same memory. That keeps the chain's record
        // in the cache instead of streaming T rows through memory per multiread.
        for (double*& pRow : vDrawRows) pRow = vDrawCells.data();
    }

    int iN;
    int iL;
    std::unique_ptr<bool[]> pZCells;  // N x L mismatch flags, row-major
    std::vector<bool*> vZRows;        // borrowed rows of pZCells
    std::vector<double> vDrawCells;   // one row of N*L chain values: the start, then the latest row
    std::vector<double*> vDrawRows;   // T rows, every one vDrawCells
    std::vector<std::vector<std::vector<MisMatchData>>> vEvidence;  // [j][k]; cleared, never shrunk
    std::vector<std::string> vQualities;
    std::vector<int> vCounts;          // unique reads in each alignment's flanking window
    std::vector<int> vMismatchCounts;  // true flags in each row of Z
    std::vector<double> vProb;         // sampler's posterior
    std::vector<double> vUniformShare;
    std::vector<double> vUniqueShare;
};

namespace {

// Quality text, window count and, when the sampler needs them, the per-position evidence
// lists of alignment j. The lists stay empty when no unique read lies in the window.
void GatherEvidence(KorvexCalc& calc, const Evidence& evidence, const Read& r, bool bNeedLists,
                    std::vector<std::vector<MisMatchData>>& vRow, std::string& sQuality, int& iCount) {
    sQuality.assign(r.quality);
    int iFirst = 0;
    int iLast = -1;
    iCount = calc.countMatchingUniqueReads_at_flanking(evidence.uniqueReads, r, evidence.uniquePositions,
                                                       evidence.strandness, iLast, iFirst);
    if (!bNeedLists) return;
    for (int k = 0; k < calc.iSeqLength; ++k) {
        vRow[k].clear();
        if (iCount > 0)
            calc.FindMatchingUniqueReads_at_k_2(k, evidence.uniqueReads, r, evidence.uniquePositions, iLast, iFirst,
                                                vRow[k], evidence.strandness);
    }
}

// Z row: one flag per read position holding a mismatch of the alignment; returns their number.
int FillMismatchFlags(const Read& r, bool* pRow, int iLength) {
    std::fill(pRow, pRow + iLength, false);
    int iFlagged = 0;
    for (const ReadMismatch& mismatch : r.vMismatches) {
        if (mismatch.position < 0 || mismatch.position >= iLength) continue;
        if (!pRow[mismatch.position]) ++iFlagged;
        pRow[mismatch.position] = true;
    }
    return iFlagged;
}

// The alignments with the fewest mismatches share the proportional estimates: equally
// (uniform share), or by their unique-read counts when those add up to at least one.
void ComputeProportionalEstimates(const std::vector<int>& vMismatchCounts, const std::vector<int>& vCounts,
                                  std::vector<double>& vUniformShare, std::vector<double>& vUniqueShare) {
    std::fill(vUniformShare.begin(), vUniformShare.end(), 0.0);
    std::fill(vUniqueShare.begin(), vUniqueShare.end(), 0.0);
    const int iMinMismatches = min_value(vMismatchCounts);
    int iNumBest = 0;
    int iUniqueSum = 0;
    for (std::size_t j = 0; j < vCounts.size(); ++j) {
        if (vMismatchCounts[j] != iMinMismatches) continue;
        ++iNumBest;
        iUniqueSum += vCounts[j];
    }
    for (std::size_t j = 0; j < vCounts.size(); ++j) {
        if (vMismatchCounts[j] != iMinMismatches) continue;
        vUniformShare[j] = 1.0 / iNumBest;
        vUniqueShare[j] = iUniqueSum >= 1 ? static_cast<double>(vCounts[j]) / static_cast<double>(iUniqueSum)
                                          : vUniformShare[j];
    }
}

void AppendCallRecordLine(std::string& sText, const Read& r, double dUniformShare, double dUniqueShare,
                          double dPosterior) {
    sText += r.readID;
    sText += '\t';
    sText += r.chromosome;
    sText += '\t';
    sText += std::to_string(r.position);
    sText += '\t';
    AppendDouble(sText, dUniformShare);
    sText += '\t';
    AppendDouble(sText, dUniqueShare);
    sText += '\t';
    AppendDouble(sText, dPosterior);
    sText += '\n';
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

}  // namespace

MultiReadScorer::MultiReadScorer(const KorvexCalc& parameters_, int iNumAlignments, ProbMode mode_)
    : parameters(parameters_),
      mode(mode_),
      // The chain and the evidence lists are only needed when the sampler runs.
      pScratch(new Scratch(iNumAlignments, parameters_.iSeqLength,
                           mode_ == ProbMode::Proportional ? 0 : parameters_.iTotalIterations)),
      sampler(iNumAlignments, parameters_.iSeqLength, parameters_.iTotalIterations, parameters_.iBurninIterations,
              parameters_.dPolymorphismRate) {}

MultiReadScorer::~MultiReadScorer() {}

double MultiReadScorer::Score(MultiRead& m, const Evidence& evidence, std::string& sCallRecords) {
    Scratch& scratch = *pScratch;
    const bool bSampler = mode != ProbMode::Proportional;
    for (int j = 0; j < scratch.iN; ++j) {
        const Read& r = m.Reads(j);
        GatherEvidence(parameters, evidence, r, bSampler, scratch.vEvidence[j], scratch.vQualities[j],
                       scratch.vCounts[j]);
        scratch.vMismatchCounts[j] = FillMismatchFlags(r, scratch.vZRows[j], scratch.iL);
    }

    double dSamplerSeconds = 0.0;
    std::fill(scratch.vProb.begin(), scratch.vProb.end(), 0.0);
    if (bSampler) {
        // Every multiread's chain starts at 1e-06 in row 0.
        std::fill(scratch.vDrawRows[0], scratch.vDrawRows[0] + scratch.iN * scratch.iL, 0.000001);
        dSamplerSeconds = sampler.Run(scratch.vEvidence, scratch.vZRows.data(), evidence.error_score,
                                      scratch.vDrawRows.data(), scratch.vProb, scratch.vQualities, scratch.vCounts);
    }

    ComputeProportionalEstimates(scratch.vMismatchCounts, scratch.vCounts, scratch.vUniformShare,
                                 scratch.vUniqueShare);
    for (int j = 0; j < scratch.iN; ++j) {
        Read& r = m.Reads(j);
        AppendCallRecordLine(sCallRecords, r, scratch.vUniformShare[j], scratch.vUniqueShare[j], scratch.vProb[j]);
        StoreProbabilities(r, mode, scratch.vUniqueShare[j], scratch.vProb[j]);
    }
    return dSamplerSeconds;
}
