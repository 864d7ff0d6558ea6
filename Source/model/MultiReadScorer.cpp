#include "MultiReadScorer.h"

#include <algorithm>
#include <stdexcept>

#include "NumberText.h"

// The working data, grown to the largest N alignments and L bases seen; only contents are reset
// per multiread, and only the first N rows of L entries are used.
struct MultiReadScorer::Scratch {
    explicit Scratch(int iDrawRows) : vDrawRows(std::max(iDrawRows, 1)) {}

    // Makes room for N alignments of L bases; allocates only when either exceeds all before.
    void Fit(int N, int L) {
        if (N <= iCapacityN && L <= iCapacityL) return;
        iCapacityN = std::max(iCapacityN, N);
        iCapacityL = std::max(iCapacityL, L);
        pZCells.reset(new bool[static_cast<std::size_t>(iCapacityN) * iCapacityL]());
        vDrawCells.resize(static_cast<std::size_t>(iCapacityN) * iCapacityL);
        // Nothing reads the chain after the sampler: it reads row 0 once, at its start, and then
        // only writes rows, so every row may be the same memory. That keeps the chain's record
        // in the cache instead of streaming T rows through memory per multiread.
        for (double*& pRow : vDrawRows) pRow = vDrawCells.data();
        vEvidence.resize(iCapacityN);
        for (std::vector<std::vector<MisMatchData>>& vRow : vEvidence) vRow.resize(iCapacityL);
    }

    // Sizes the per-alignment vectors to N; within their capacity once warm.
    void Use(int N) {
        vAlignments.resize(N);
        vCounts.resize(N);
        vMismatchCounts.resize(N);
        vProb.resize(N);
        vUniformShare.resize(N);
        vUniqueShare.resize(N);
    }

    int iCapacityN = 0;
    int iCapacityL = 0;
    std::unique_ptr<bool[]> pZCells;  // N rows of L mismatch flags; owned
    std::vector<double> vDrawCells;  // one row of N*L chain values: the start, then the latest row
    std::vector<double*> vDrawRows;  // T rows, every one vDrawCells
    std::vector<std::vector<std::vector<MisMatchData>>> vEvidence;  // [j][k]; cleared, never shrunk
    std::vector<AlignmentEvidence> vAlignments;  // the sampler's view of each alignment
    std::vector<int> vCounts;          // unique reads in each alignment's flanking window
    std::vector<int> vMismatchCounts;  // true flags in each row of Z
    std::vector<double> vProb;         // sampler's posterior
    std::vector<double> vUniformShare;
    std::vector<double> vUniqueShare;
};

namespace {

// The window count of alignment r and, when the sampler needs them, its per-position evidence
// lists. The lists stay empty when no matching unique read lies in the window.
int GatherEvidence(const EvidenceIndex& evidence, const Read& r, bool bNeedLists,
                   std::vector<std::vector<MisMatchData>>& vRow) {
    const EvidenceWindow window = evidence.WindowOf(r);
    const int iCount = evidence.CountMatching(r, window);
    if (!bNeedLists) return iCount;
    for (int k = 0; k < r.iLength; ++k) {
        vRow[k].clear();
        if (iCount > 0) evidence.AppendCovering(r, k, window, vRow[k]);
    }
    return iCount;
}

// The same for pair alignment r joining mate lines a and b: the window spans the fragment (both
// mates' bases), and the evidence at each read position is that of its own mate's genome position.
int GatherPairEvidence(const EvidenceIndex& evidence, const MateLines& lines, bool bNeedLists,
                       std::vector<std::vector<MisMatchData>>& vRow) {
    const Read& a = *lines.pFirst;
    const Read& b = *lines.pSecond;
    const long long iFirst = std::min(a.position, b.position);
    const long long iLast = std::max(static_cast<long long>(a.position) + a.iLength - 1,
                                     static_cast<long long>(b.position) + b.iLength - 1);
    const EvidenceWindow window = evidence.WindowOfSpan(iFirst, iLast);
    const int iCount = evidence.CountMatching(a, window);
    if (!bNeedLists) return iCount;
    for (int k = 0; k < a.iLength; ++k) {
        vRow[k].clear();
        if (iCount > 0) evidence.AppendCovering(a, k, window, vRow[k]);
    }
    for (int k = 0; k < b.iLength; ++k) {
        std::vector<MisMatchData>& vEntries = vRow[a.iLength + k];
        vEntries.clear();
        if (iCount > 0) evidence.AppendCovering(b, k, window, vEntries);
    }
    return iCount;
}

// Z row: one flag per read position holding a mismatch of the alignment; returns their number.
int FillMismatchFlags(const Read& r, bool* pRow, int iLength) {
    std::fill(pRow, pRow + iLength, false);
    int iFlagged = 0;
    for (int i = 0; i < r.MismatchCount(); ++i) {
        const ReadMismatch& mismatch = r.Mismatch(i);
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
    const int iMinMismatches = *std::min_element(vMismatchCounts.begin(), vMismatchCounts.end());
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
    AppendShortNumber(sText, dUniformShare);
    sText += '\t';
    AppendShortNumber(sText, dUniqueShare);
    sText += '\t';
    AppendShortNumber(sText, dPosterior);
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

MultiReadScorer::MultiReadScorer(const ModelParameters& model, ProbMode mode_)
    : mode(mode_),
      // The chain and the evidence lists are only needed when the sampler runs.
      iIterations(mode_ == ProbMode::Proportional ? 0 : model.iTotalIterations),
      pScratch(new Scratch(iIterations)),
      sampler(model) {}

MultiReadScorer::~MultiReadScorer() {}

double MultiReadScorer::Score(MultiRead& m, const EvidenceIndex& evidence, const std::map<char, double>& errorScores,
                              std::string& sCallRecords) {
    Scratch& scratch = *pScratch;
    const int N = m.Size();
    const int L = m.Length();
    scratch.Fit(N, L);
    scratch.Use(N);
    const bool bSampler = mode != ProbMode::Proportional;
    for (int j = 0; j < N; ++j) {
        const Read& r = m.Reads(j);
        bool* pZRow = scratch.pZCells.get() + static_cast<std::size_t>(j) * L;
        scratch.vCounts[j] = m.IsPair() ? GatherPairEvidence(evidence, m.pJoins[j], bSampler, scratch.vEvidence[j])
                                        : GatherEvidence(evidence, r, bSampler, scratch.vEvidence[j]);
        scratch.vMismatchCounts[j] = FillMismatchFlags(r, pZRow, L);
        scratch.vAlignments[j] = AlignmentEvidence{&scratch.vEvidence[j], pZRow, r.quality, scratch.vCounts[j]};
    }

    double dSamplerSeconds = 0.0;
    std::fill(scratch.vProb.begin(), scratch.vProb.end(), 0.0);
    if (bSampler) {
        // Every multiread's chain starts at 1e-06 in row 0.
        std::fill(scratch.vDrawRows[0], scratch.vDrawRows[0] + static_cast<std::size_t>(N) * L, 0.000001);
        dSamplerSeconds = sampler.Run(scratch.vAlignments, L, errorScores, scratch.vDrawRows.data(), scratch.vProb);
    }

    ComputeProportionalEstimates(scratch.vMismatchCounts, scratch.vCounts, scratch.vUniformShare,
                                 scratch.vUniqueShare);
    for (int j = 0; j < N; ++j) {
        Read& r = m.Reads(j);
        AppendCallRecordLine(sCallRecords, r, scratch.vUniformShare[j], scratch.vUniqueShare[j], scratch.vProb[j]);
        StoreProbabilities(r, mode, scratch.vUniqueShare[j], scratch.vProb[j]);
    }
    return dSamplerSeconds;
}
