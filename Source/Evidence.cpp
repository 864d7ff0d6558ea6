#include <algorithm>
#include <cstring>

#include "KorvexCalc.h"

namespace {

// Index of the first element of positions[from, to) strictly greater than value; to when
// there is none. The value is wide so that window limits near the int range cannot overflow.
int UpperBound(const std::vector<int>& positions, int from, int to, long long value) {
    auto itFirst = positions.begin() + from;
    auto itLast = positions.begin() + to;
    return static_cast<int>(std::upper_bound(itFirst, itLast, value) - positions.begin());
}

// A unique read is evidence for r when it lies on the same reference and, with strandness, on
// r's strand. Alignments read from one file share one text per reference name, so equal
// pointers settle most comparisons.
bool MatchesAlignment(const Read& u, const Read& r, bool strandness) {
    if (u.chromosome != r.chromosome && std::strcmp(u.chromosome, r.chromosome) != 0) return false;
    return !strandness || u.strand == r.strand;
}

}  // namespace

int KorvexCalc::countMatchingUniqueReads_at_flanking(const std::vector<MultiRead*>& uniqueReads,
                                                     const Read& r, std::vector<int>& uniquePositions,
                                                     bool strandness, int& last, int& first) {
    // The window holds the unique reads whose L bases overlap r's bases widened by F each side:
    // lo < p <= hi.
    const long long lo = static_cast<long long>(r.position) - iFlankingValue - iSeqLength;
    const long long hi = static_cast<long long>(r.position) + iSeqLength - 1 + iFlankingValue;
    const int iSize = static_cast<int>(uniquePositions.size());

    first = UpperBound(uniquePositions, 0, iSize, lo);
    last = UpperBound(uniquePositions, first, iSize, hi) - 1;
    if (first > last) return 0;

    int iCount = 0;
    for (int i = first; i <= last; ++i)
        if (MatchesAlignment(uniqueReads[i]->Reads(0), r, strandness)) ++iCount;
    return iCount;
}

int KorvexCalc::FindMatchingUniqueReads_at_k_2(int k, const std::vector<MultiRead*>& uniqueReads,
                                               const Read& r, std::vector<int>& uniquePositions, int last,
                                               int first, std::vector<MisMatchData>& out, bool strandness) {
    const int iSize = static_cast<int>(uniquePositions.size());
    if (first < 0 || last >= iSize || first > last) return static_cast<int>(out.size());

    // The reads covering genome position X are those with X - L < p <= X, searched within
    // the window only.
    const long long X = static_cast<long long>(r.position) + k;
    const int s = UpperBound(uniquePositions, first, last + 1, X - iSeqLength);
    const int e = UpperBound(uniquePositions, s, last + 1, X) - 1;

    for (int i = s; i <= e; ++i) {
        Read& u = uniqueReads[i]->Reads(0);
        if (MatchesAlignment(u, r, strandness)) FindMisMatches_at_k(k, r, u, out);
    }
    return static_cast<int>(out.size());
}

int KorvexCalc::FindMisMatches_at_k(int k, const Read& r, Read& u, std::vector<MisMatchData>& out) {
    // Positions near the top of the int range: the sums are taken in 64 bits.
    const long long X = static_cast<long long>(k) + r.position;
    MisMatchData entry{static_cast<int>(X - u.position), false, ' '};
    for (const ReadMismatch& mismatch : u.vMismatches) {
        if (mismatch.position >= 0 && static_cast<long long>(u.position) + mismatch.position == X) {
            entry.bMisMatch = true;
            entry.cQuality = mismatch.qualityChar;
            break;
        }
    }
    out.push_back(entry);
    return static_cast<int>(out.size());
}
