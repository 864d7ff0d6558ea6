#include "Evidence.h"

#include <algorithm>
#include <cstring>

namespace {

// Index of the first of the reads [from, to) whose position is strictly greater than value; to
// when there is none. The value is wide so that window limits near the int range cannot overflow.
int UpperBound(const UniqueReads& reads, int from, int to, long long value) {
    const UniqueRead* pFirst = reads.Data();
    return static_cast<int>(
        std::upper_bound(pFirst + from, pFirst + to, value,
                         [](long long v, const UniqueRead& u) { return v < u.position; }) - pFirst);
}

// The genome position of u's last base.
long long EndOf(const UniqueRead& u) { return static_cast<long long>(u.position) + u.iLength - 1; }

}  // namespace

EvidenceIndex::EvidenceIndex(const UniqueReads& uniqueReads_, bool bStrandness_, const ModelParameters& model)
    : uniqueReads(uniqueReads_),
      bStrandness(bStrandness_),
      iLongestUnique(uniqueReads_.LongestLength()),
      iFlankingValue(model.iFlankingValue) {}

// A unique read is evidence for r when it lies on the same reference and, with strandness, comes
// from a fragment of r's fragment strand (for single-end reads: on r's strand). Alignments read
// from one file share one text per reference name, so equal pointers settle most comparisons.
bool EvidenceIndex::Matches(const UniqueRead& u, const Read& r) const {
    const char* pChromosome = uniqueReads.ReferenceOf(u);
    if (pChromosome != r.chromosome && std::strcmp(pChromosome, r.chromosome) != 0) return false;
    return !bStrandness || UniqueReads::FragmentStrandOf(u) == r.FragmentStrand();
}

// The evidence of unique read u at genome position X: whether u has a mismatch there. Its
// mismatches ascend, so the search stops at the first one beyond X. Positions near the top of
// the int range: the sums are taken in 64 bits.
MisMatchData EvidenceIndex::EvidenceAt(long long X, const UniqueRead& u) const {
    const long long iOffset = X - u.position;
    MisMatchData entry{static_cast<int>(iOffset), false, ' '};
    const ReadMismatch* pMismatches = uniqueReads.MismatchesOf(u);
    for (int i = 0; i < u.iMismatchCount; ++i) {
        const ReadMismatch& mismatch = pMismatches[i];
        if (mismatch.position < iOffset) continue;
        if (mismatch.position == iOffset) {
            entry.bMisMatch = true;
            entry.cQuality = mismatch.qualityChar;
        }
        break;
    }
    return entry;
}

EvidenceWindow EvidenceIndex::WindowOfSpan(long long iFirst, long long iLast) const {
    // A unique read of the window ends at or after lowestEnd, so it starts after
    // lowestEnd - longest; it starts at or before hi.
    const long long lowestEnd = iFirst - iFlankingValue;
    const long long hi = iLast + iFlankingValue;
    const int iSize = static_cast<int>(uniqueReads.Size());
    const int iFirstIndex = UpperBound(uniqueReads, 0, iSize, lowestEnd - iLongestUnique);
    return EvidenceWindow{iFirstIndex, UpperBound(uniqueReads, iFirstIndex, iSize, hi) - 1, lowestEnd};
}

int EvidenceIndex::CountMatching(const Read& r, EvidenceWindow window) const {
    int iCount = 0;
    for (int i = window.iFirst; i <= window.iLast; ++i) {
        const UniqueRead& u = uniqueReads[i];
        if (EndOf(u) >= window.iLowestEnd && Matches(u, r)) ++iCount;
    }
    return iCount;
}

void EvidenceIndex::AppendCovering(const Read& r, int k, EvidenceWindow window, std::vector<MisMatchData>& out) const {
    const int iSize = static_cast<int>(uniqueReads.Size());
    if (window.iFirst < 0 || window.iLast >= iSize || window.iFirst > window.iLast) return;

    // The reads covering genome position X start after X - longest and at or before X, and end
    // at or after X; searched within the window only.
    const long long X = static_cast<long long>(r.position) + k;
    const int s = UpperBound(uniqueReads, window.iFirst, window.iLast + 1, X - iLongestUnique);
    const int e = UpperBound(uniqueReads, s, window.iLast + 1, X) - 1;
    const long long iLowestEnd = std::max(X, window.iLowestEnd);
    for (int i = s; i <= e; ++i) {
        const UniqueRead& u = uniqueReads[i];
        if (EndOf(u) >= iLowestEnd && Matches(u, r)) out.push_back(EvidenceAt(X, u));
    }
}
