#include "KeepRules.h"

#include <algorithm>

bool DropCountsReads(DropReason reason) {
    return reason == DropReason::BestAboveLimit || reason == DropReason::TooManyAlignments;
}

const char* DescribeDropReason(DropReason reason) {
    static const char* const TEXTS[DROP_REASON_COUNT] = {
        "reads whose best alignment has more mismatches than MAX_NUM_MISMATCHES_FOR_TOP_HITS",
        "reads with more alignments than MAX_ALIGNMENTS",
        "alignment lines with more mismatches than the best + EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS",
        ("mate lines in no pair alignment (the other mate on another reference or strand, in the wrong order, or "
         "beyond MAX_FRAGMENT_LENGTH)")};
    return TEXTS[static_cast<int>(reason)];
}

void KeepRuleDrops::Add(DropReason reason, int iLineNumber, int64_t iLines) {
    int i = static_cast<int>(reason);
    if (aiCount[i]++ == 0) aiFirstLine[i] = iLineNumber;
    aiLines[i] += iLines;
}

int ApplyKeepRules(const KeepRuleLimits& limits, TmpReadContainer& tmp, KeepRuleDrops& drops) {
    if (tmp.empty()) return 0;
    const int iFirstLine = tmp[0].lineNumber;
    int iBest = tmp[0].MismatchCount();
    for (const Read& read : tmp) iBest = std::min(iBest, read.MismatchCount());
    if (iBest > limits.iMaxMismatchesForTopHits) {
        drops.Add(DropReason::BestAboveLimit, iFirstLine, static_cast<int64_t>(tmp.size()));
        return 0;
    }
    const int iLimit = iBest + limits.iExtraMismatches;
    auto itKept = tmp.begin();
    for (const Read& read : tmp) {
        if (read.MismatchCount() > iLimit) drops.Add(DropReason::AboveBestPlusExtra, read.lineNumber);
        else *itKept++ = read;
    }
    tmp.erase(itKept, tmp.end());
    const int iCount = static_cast<int>(tmp.size());
    if (iCount > limits.iMaxAlignments) {
        drops.Add(DropReason::TooManyAlignments, iFirstLine, iCount);
        return 0;
    }
    return iCount;
}
