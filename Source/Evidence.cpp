#include "Evidence.h"

#include <algorithm>
#include <cstring>

namespace {

// Index of the first element of positions[from, to) strictly greater than value; to when
// there is none. The value is wide so that window limits near the int range cannot overflow.
int UpperBound(const std::vector<int>& positions, int from, int to, long long value) {
    auto itFirst = positions.begin() + from;
    auto itLast = positions.begin() + to;
    return static_cast<int>(std::upper_bound(itFirst, itLast, value) - positions.begin());
}

// The evidence of unique read u at read position k of r: whether u has a mismatch at that
// genome position. Positions near the top of the int range: the sums are taken in 64 bits.
MisMatchData EvidenceAt(int k, const Read& r, const Read& u) {
    const long long X = static_cast<long long>(k) + r.position;
    MisMatchData entry{static_cast<int>(X - u.position), false, ' '};
    for (const ReadMismatch& mismatch : u.vMismatches) {
        if (mismatch.position >= 0 && static_cast<long long>(u.position) + mismatch.position == X) {
            entry.bMisMatch = true;
            entry.cQuality = mismatch.qualityChar;
            break;
        }
    }
    return entry;
}

}  // namespace

EvidenceIndex::EvidenceIndex(const MultiReadContainer& uniqueReads_, const std::vector<int>& uniquePositions_,
                             bool bStrandness_, const ModelParameters& model)
    : uniqueReads(uniqueReads_),
      uniquePositions(uniquePositions_),
      bStrandness(bStrandness_),
      iReadLength(model.iReadLength),
      iFlankingValue(model.iFlankingValue) {}

// A unique read is evidence for r when it lies on the same reference and, with strandness, on
// r's strand. Alignments read from one file share one text per reference name, so equal
// pointers settle most comparisons.
bool EvidenceIndex::Matches(const Read& u, const Read& r) const {
    if (u.chromosome != r.chromosome && std::strcmp(u.chromosome, r.chromosome) != 0) return false;
    return !bStrandness || u.strand == r.strand;
}

EvidenceWindow EvidenceIndex::WindowOf(const Read& r) const {
    // The window holds the unique reads whose L bases overlap r's bases widened by F each side:
    // lo < p <= hi.
    const long long lo = static_cast<long long>(r.position) - iFlankingValue - iReadLength;
    const long long hi = static_cast<long long>(r.position) + iReadLength - 1 + iFlankingValue;
    const int iSize = static_cast<int>(uniquePositions.size());
    const int iFirst = UpperBound(uniquePositions, 0, iSize, lo);
    return EvidenceWindow{iFirst, UpperBound(uniquePositions, iFirst, iSize, hi) - 1};
}

int EvidenceIndex::CountMatching(const Read& r, EvidenceWindow window) const {
    int iCount = 0;
    for (int i = window.iFirst; i <= window.iLast; ++i)
        if (Matches(uniqueReads[i].Reads(0), r)) ++iCount;
    return iCount;
}

void EvidenceIndex::AppendCovering(const Read& r, int k, EvidenceWindow window, std::vector<MisMatchData>& out) const {
    const int iSize = static_cast<int>(uniquePositions.size());
    if (window.iFirst < 0 || window.iLast >= iSize || window.iFirst > window.iLast) return;

    // The reads covering genome position X are those with X - L < p <= X, searched within
    // the window only.
    const long long X = static_cast<long long>(r.position) + k;
    const int s = UpperBound(uniquePositions, window.iFirst, window.iLast + 1, X - iReadLength);
    const int e = UpperBound(uniquePositions, s, window.iLast + 1, X) - 1;
    for (int i = s; i <= e; ++i) {
        const Read& u = uniqueReads[i].Reads(0);
        if (Matches(u, r)) out.push_back(EvidenceAt(k, r, u));
    }
}
