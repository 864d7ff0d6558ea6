#ifndef KORVEX_REJECTREASON_H
#define KORVEX_REJECTREASON_H

#include <cstdint>

// Why a SAM line is not taken as an alignment.
enum class RejectReason {
    TooFewFields,         // fewer than 11 fields
    NulByte,              // the line holds a NUL byte
    BadFlag,              // FLAG is not a number from 0 to 65535
    Unmapped,             // FLAG 0x4 without 0x10
    Supplementary,        // FLAG 0x800: another part of a chimeric alignment, not another place of the read
    BadPosition,          // POS is not a number from 0 to 2147483647
    MalformedCigar,       // not a CIGAR, no aligned base, or clips inside the alignment
    InsertionOrDeletion,  // I or D in the CIGAR
    Spliced,              // N in the CIGAR
    Padded,               // P in the CIGAR
    NoSequence,           // no line of the read has both SEQ and QUAL
    ReadTooLong,          // the read is longer than MAX_READ_LENGTH
    OtherLength,          // SEQ has another length than the read's first SEQ
    OtherQualityLength,   // QUAL has another length than SEQ
    NotAcgt,              // SEQ holds a letter other than A, C, G and T
    CigarOtherLength,     // the CIGAR's clipped and aligned bases do not add up to the read's length, or
                          // hard clips in a line whose own SEQ holds the whole read
    NoMdTag,              // no MD:Z tag
    UnreadableMdTag,      // an MD:Z tag that does not describe the aligned bases
};
constexpr int REJECT_REASON_COUNT = 18;

const char* DescribeRejectReason(RejectReason reason);

// The rejected lines of a file: how many for each reason, and the first of each.
struct LineRejections {
    int64_t aiCount[REJECT_REASON_COUNT] = {};
    int aiFirstLine[REJECT_REASON_COUNT] = {};

    void Add(RejectReason reason, int iLineNumber);
    // Adds the counts of other, keeping the earlier first line of each reason.
    void Merge(const LineRejections& other);
    int64_t Count(RejectReason reason) const { return aiCount[static_cast<int>(reason)]; }
    int64_t Total() const;
};

#endif
