#ifndef KORVEX_PAIRALIGNMENTS_H
#define KORVEX_PAIRALIGNMENTS_H

#include <vector>

#include "KeepRules.h"
#include "MapFileReader.h"
#include "Read.h"

// The longest fragment a pair alignment may span unless the settings say otherwise (MAX_FRAGMENT_LENGTH).
const int DEFAULT_MAX_FRAGMENT_LENGTH = 1000;

// One accepted line of one mate of a pair read.
struct MateLine {
    const Read* pRead;
    AlignedSpan span;  // its aligned bases, clipped bases left out
    int iIndex;        // its place among the read's lines
};

// A pair alignment: a line of mate 1 and a line of mate 2 (indices into their lists), and its
// mismatch count for the keep rules, the larger of the two mates' counts (each mate is a read).
struct PairCandidate {
    int iFirst;
    int iSecond;
    int iMismatches;
};

// Whether a line of mate 1 and a line of mate 2 form a pair alignment: the same reference,
// opposite strands, the forward line's first aligned base not after the reverse line's, and the
// fragment, from the first aligned base of the two to the last, at most iMaxFragmentLength bases.
bool FormsPair(const MateLine& first, const MateLine& second, int iMaxFragmentLength);

// Every pair alignment of the lines of mate 1 and mate 2 of one read: each combination that
// forms a pair, ordered by mate 1's line, then mate 2's.
std::vector<PairCandidate> FormPairAlignments(const std::vector<MateLine>& vFirst,
                                              const std::vector<MateLine>& vSecond, int iMaxFragmentLength);

// How many lines of the read the pair alignments join, each line counted once.
int LinesOfPairs(const std::vector<PairCandidate>& vPairs);

// The keep rules on the pair alignments of one read, with their mismatch counts: removes those
// above the best + the extra and returns how many are kept; 0 when the read is dropped, which is
// counted at its first line with the lines its pair alignments still joined. When the read has
// too many, vPairs keeps those within the best + the extra.
int KeepPairAlignments(const KeepRuleLimits& limits, std::vector<PairCandidate>& vPairs, int iFirstLine,
                       KeepRuleDrops& drops);

#endif
