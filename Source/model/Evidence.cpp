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

// The genome position of u's last base.
long long EndOf(const Read& u) { return static_cast<long long>(u.position) + u.iLength - 1; }

// The evidence of unique read u at genome position X: whether u has a mismatch there. Its
// mismatches ascend, so the search stops at the first one beyond X. Positions near the top of
// the int range: the sums are taken in 64 bits.
MisMatchData EvidenceAt(long long X, const Read& u) {
    const long long iOffset = X - u.position;
    MisMatchData entry{static_cast<int>(iOffset), false, ' '};
    for (int i = 0; i < u.MismatchCount(); ++i) {
        const ReadMismatch& mismatch = u.Mismatch(i);
        if (mismatch.position < iOffset) continue;
        if (mismatch.position == iOffset) {
            entry.bMisMatch = true;
            entry.cQuality = mismatch.qualityChar;
        }
        break;
    }
    return entry;
}

int LongestRead(const MultiReadContainer& reads) {
    int iLongest = 0;
    for (const MultiRead& read : reads) iLongest = std::max(iLongest, static_cast<int>(read.Reads(0).iLength));
    return iLongest;
}

}  // namespace

EvidenceIndex::EvidenceIndex(const MultiReadContainer& uniqueReads_, const std::vector<int>& uniquePositions_,
                             bool bStrandness_, const ModelParameters& model)
    : uniqueReads(uniqueReads_),
      uniquePositions(uniquePositions_),
      bStrandness(bStrandness_),
      iLongestUnique(LongestRead(uniqueReads_)),
      iFlankingValue(model.iFlankingValue) {}

// A unique read is evidence for r when it lies on the same reference and, with strandness, comes
// from a fragment of r's fragment strand (for single-end reads: on r's strand). Alignments read from one file share one text per reference name, so equal
// pointers settle most comparisons.
bool EvidenceIndex::Matches(const Read& u, const Read& r) const {
    if (u.chromosome != r.chromosome && std::strcmp(u.chromosome, r.chromosome) != 0) return false;
    return !bStrandness || u.FragmentStrand() == r.FragmentStrand();
}

EvidenceWindow EvidenceIndex::WindowOfSpan(long long iFirst, long long iLast) const {
    // A unique read of the window ends at or after lowestEnd, so it starts after
    // lowestEnd - longest; it starts at or before hi.
    const long long lowestEnd = iFirst - iFlankingValue;
    const long long hi = iLast + iFlankingValue;
    const int iSize = static_cast<int>(uniquePositions.size());
    const int iFirstIndex = UpperBound(uniquePositions, 0, iSize, lowestEnd - iLongestUnique);
    return EvidenceWindow{iFirstIndex, UpperBound(uniquePositions, iFirstIndex, iSize, hi) - 1, lowestEnd};
}

int EvidenceIndex::CountMatching(const Read& r, EvidenceWindow window) const {
    int iCount = 0;
    for (int i = window.iFirst; i <= window.iLast; ++i) {
        const Read& u = uniqueReads[i].Reads(0);
        if (EndOf(u) >= window.iLowestEnd && Matches(u, r)) ++iCount;
    }
    return iCount;
}

void EvidenceIndex::AppendCovering(const Read& r, int k, EvidenceWindow window, std::vector<MisMatchData>& out) const {
    const int iSize = static_cast<int>(uniquePositions.size());
    if (window.iFirst < 0 || window.iLast >= iSize || window.iFirst > window.iLast) return;

    // The reads covering genome position X start after X - longest and at or before X, and end
    // at or after X; searched within the window only.
    const long long X = static_cast<long long>(r.position) + k;
    const int s = UpperBound(uniquePositions, window.iFirst, window.iLast + 1, X - iLongestUnique);
    const int e = UpperBound(uniquePositions, s, window.iLast + 1, X) - 1;
    const long long iLowestEnd = std::max(X, window.iLowestEnd);
    for (int i = s; i <= e; ++i) {
        const Read& u = uniqueReads[i].Reads(0);
        if (EndOf(u) >= iLowestEnd && Matches(u, r)) out.push_back(EvidenceAt(X, u));
    }
}
