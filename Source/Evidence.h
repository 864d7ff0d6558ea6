#ifndef KORVEX_EVIDENCE_H
#define KORVEX_EVIDENCE_H

#include <vector>

#include "ModelParameters.h"
#include "Read.h"

// Evidence of one covering unique read at one read position of an alignment.
struct MisMatchData {
    int iOffset;     // (alignment position + k) - unique read position
    bool bMisMatch;  // the unique read has a mismatch at exactly this genome position
    char cQuality;   // that mismatch's quality character; ' ' otherwise
};

// The unique reads that may be evidence for an alignment: indices iFirst to iLast (inclusive) of
// the unique reads in position order. Empty when iFirst > iLast.
struct EvidenceWindow {
    int iFirst;
    int iLast;
};

// The unique reads sorted by position, searched for the evidence of alignments. Read-only once
// built, so all threads share one.
class EvidenceIndex {
public:
    // uniqueReads sorted by position, uniquePositions their positions; with bStrandness a unique
    // read counts only on the alignment's strand. The vectors must outlive the index.
    EvidenceIndex(const MultiReadContainer& uniqueReads, const std::vector<int>& uniquePositions,
                  bool bStrandness, const ModelParameters& model);

    // The unique reads whose bases overlap r's bases widened by the flanking value on each side.
    EvidenceWindow WindowOf(const Read& r) const;
    // How many unique reads of the window lie on r's reference (and strand, with strandness).
    int CountMatching(const Read& r, EvidenceWindow window) const;
    // Appends the evidence of every matching unique read of the window that covers read position k of r.
    void AppendCovering(const Read& r, int k, EvidenceWindow window, std::vector<MisMatchData>& out) const;

private:
    bool Matches(const Read& u, const Read& r) const;

    const MultiReadContainer& uniqueReads;
    const std::vector<int>& uniquePositions;
    bool bStrandness;
    int iReadLength;
    int iFlankingValue;
};

#endif
