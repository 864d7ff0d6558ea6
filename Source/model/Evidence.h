#ifndef KORVEX_EVIDENCE_H
#define KORVEX_EVIDENCE_H

#include <vector>

#include "ModelParameters.h"
#include "Read.h"
#include "UniqueReads.h"

// Evidence of one covering unique read at one read position of an alignment.
struct MisMatchData {
    int iOffset;     // (alignment position + k) - unique read position
    bool bMisMatch;  // the unique read has a mismatch at exactly this genome position
    char cQuality;   // that mismatch's quality character; ' ' otherwise
};

// The candidates for the window of unique reads of an alignment: indices iFirst to iLast
// (inclusive) of the unique reads in position order, those starting neither too early for the
// longest unique read nor after the window. Empty when iFirst > iLast. Where unique reads have
// several lengths, a candidate is in the window only when its own end reaches it.
struct EvidenceWindow {
    int iFirst;
    int iLast;
    long long iLowestEnd;  // the last base of a unique read in the window lies here or after it
};

// The unique reads sorted by position, searched for the evidence of alignments. A unique read of
// length Lu at position p covers genome positions p to p + Lu - 1; each mate of a unique pair is
// a unique read. Read-only once built, so all threads share one.
class EvidenceIndex {
public:
    // uniqueReads sorted by position; with bStrandness a unique read counts only on the
    // alignment's strand. The reads must outlive the index.
    EvidenceIndex(const UniqueReads& uniqueReads, bool bStrandness, const ModelParameters& model);

    // The unique reads whose bases overlap r's bases widened by the flanking value F on each
    // side: p <= r.position + L - 1 + F and p + Lu - 1 >= r.position - F.
    EvidenceWindow WindowOf(const Read& r) const {
        return WindowOfSpan(r.position, static_cast<long long>(r.position) + r.iLength - 1);
    }
    // The same for the genome positions iFirst to iLast, as a pair alignment spans its fragment.
    EvidenceWindow WindowOfSpan(long long iFirst, long long iLast) const;
    // How many unique reads of the window lie on r's reference (and, with strandness, come from a
    // fragment of r's fragment strand).
    int CountMatching(const Read& r, EvidenceWindow window) const;
    // Appends the evidence of every matching unique read of the window that covers read position
    // k of r, in position order.
    void AppendCovering(const Read& r, int k, EvidenceWindow window, std::vector<MisMatchData>& out) const;

private:
    bool Matches(const UniqueRead& u, const Read& r) const;
    MisMatchData EvidenceAt(long long X, const UniqueRead& u) const;

    const UniqueReads& uniqueReads;
    bool bStrandness;
    int iLongestUnique;  // bases of the longest unique read; 0 when there is none
    int iFlankingValue;
};

#endif
