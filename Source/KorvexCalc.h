#ifndef KORVEX_KORVEXCALC_H
#define KORVEX_KORVEXCALC_H

#include <map>
#include <string>
#include <vector>

#include "Read.h"

// Evidence of one covering unique read at one read position of an alignment.
struct MisMatchData {
    int iOffset;     // (alignment position + k) - unique read position
    bool bMisMatch;  // the unique read has a mismatch at exactly this genome position
    char cQuality;   // that mismatch's quality character; ' ' otherwise
};

// The model parameters and the searches for the evidence of an alignment.
class KorvexCalc {
public:
    int iSeqLength;
    int iFlankingValue;
    double dPolymorphismRate;
    int iTotalIterations;
    int iBurninIterations;

    // Number of matching unique reads in r's flanking window; first and last (inclusive)
    // delimit the window in uniqueReads.
    int countMatchingUniqueReads_at_flanking(const std::vector<MultiRead*>& uniqueReads, const Read& r,
                                             std::vector<int>& uniquePositions, bool strandness,
                                             int& last, int& first);
    // Appends the evidence of every matching unique read of [first, last] covering r.position + k.
    int FindMatchingUniqueReads_at_k_2(int k, const std::vector<MultiRead*>& uniqueReads, const Read& r,
                                       std::vector<int>& uniquePositions, int last, int first,
                                       std::vector<MisMatchData>& out, bool strandness);
    int FindMisMatches_at_k(int k, const Read& r, Read& u, std::vector<MisMatchData>& out);
};

#endif
