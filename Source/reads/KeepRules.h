#ifndef KORVEX_KEEPRULES_H
#define KORVEX_KEEPRULES_H

#include <cstdint>
#include <vector>

#include "Read.h"

// The alignments of one read ID while they are gathered, in file order.
typedef std::vector<Read> TmpReadContainer;

// What the keep rules allow, from the settings.
struct KeepRuleLimits {
    int iMaxMismatchesForTopHits;  // a read whose best alignment has more is dropped
    int iExtraMismatches;          // alignments with more than best + this are dropped
    int iMaxAlignments;            // a read with more kept alignments is dropped
};

// What the keep rules leave out: two kinds of reads, and alignment lines of kept reads.
enum class DropReason {
    BestAboveLimit,     // a read whose best alignment has more mismatches than the limit
    TooManyAlignments,  // a read with more kept alignments than the limit
    AboveBestPlusExtra, // an alignment line with more mismatches than the best + the extra
    MateInNoPair,       // a mate line in no pair alignment of a read that has pair alignments
};
constexpr int DROP_REASON_COUNT = 4;

// Whether a reason counts reads (true) or alignment lines.
bool DropCountsReads(DropReason reason);
// The reason in words, with the setting that decides it, for the log and the summary.
const char* DescribeDropReason(DropReason reason);

// The drops of a file: how many for each reason, the first line of each (for a read, its first
// alignment line), and the alignment lines they left out (for a read, those it still had).
struct KeepRuleDrops {
    int64_t aiCount[DROP_REASON_COUNT] = {};
    int aiFirstLine[DROP_REASON_COUNT] = {};
    int64_t aiLines[DROP_REASON_COUNT] = {};

    void Add(DropReason reason, int iLineNumber, int64_t iLines = 1);
    int64_t Count(DropReason reason) const { return aiCount[static_cast<int>(reason)]; }
    int FirstLine(DropReason reason) const { return aiFirstLine[static_cast<int>(reason)]; }
    int64_t Lines(DropReason reason) const { return aiLines[static_cast<int>(reason)]; }
};

// Applies the keep rules to the alignments of one read: removes those with more mismatches than
// the best + the extra, and returns how many are kept; 0 when the read is dropped. Every drop
// is counted in drops.
int ApplyKeepRules(const KeepRuleLimits& limits, TmpReadContainer& tmp, KeepRuleDrops& drops);

#endif
