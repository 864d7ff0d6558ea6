#include "RejectReason.h"

const char* DescribeRejectReason(RejectReason reason) {
    static const char* const TEXTS[REJECT_REASON_COUNT] = {
        "fewer than 11 fields",
        "a NUL byte in the line",
        "FLAG not a number from 0 to 65535",
        "unmapped",
        "supplementary (FLAG 0x800): another part of a chimeric alignment",
        "POS not a number from 0 to 2147483647",
        "malformed CIGAR (not a CIGAR, no aligned base, or clips inside the alignment)",
        "insertion or deletion (I/D in CIGAR)",
        "spliced (N in CIGAR)",
        "padded (P in CIGAR)",
        "no SEQ or QUAL on any line of the read",
        "read longer than 999 bases",
        "SEQ of another length than its read",
        "QUAL of another length than SEQ",
        "SEQ with letters other than A, C, G, T",
        "CIGAR that does not describe the read (clipped and aligned bases other than its length)",
        "no MD:Z tag",
        "unreadable MD:Z tag (a deletion, a negative count, or another length than the aligned bases)"};
    return TEXTS[static_cast<int>(reason)];
}

void LineRejections::Add(RejectReason reason, int iLineNumber) {
    int i = static_cast<int>(reason);
    if (aiCount[i]++ == 0) aiFirstLine[i] = iLineNumber;
}

void LineRejections::Merge(const LineRejections& other) {
    for (int i = 0; i < REJECT_REASON_COUNT; ++i) {
        if (other.aiCount[i] == 0) continue;
        if (aiCount[i] == 0 || other.aiFirstLine[i] < aiFirstLine[i]) aiFirstLine[i] = other.aiFirstLine[i];
        aiCount[i] += other.aiCount[i];
    }
}

int64_t LineRejections::Total() const {
    int64_t iTotal = 0;
    for (int64_t iCount : aiCount) iTotal += iCount;
    return iTotal;
}
