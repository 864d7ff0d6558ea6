#ifndef KORVEX_ALIGNMENTLINE_H
#define KORVEX_ALIGNMENTLINE_H

#include <cstddef>
#include <string_view>
#include <vector>

#include "Cigar.h"
#include "LineSource.h"
#include "MismatchTag.h"
#include "RejectReason.h"

// Removes blanks and tabs from both ends of a line.
void TrimBlanks(LineView& line);

// A field made only of decimal digits whose value is at most iMax.
bool ParseUnsigned(std::string_view field, long long iMax, long long& iValue);

// A SAM line split at tabs into views of its first eleven non-empty fields (QNAME to QUAL) and
// the text after them (the tags). Nothing is changed in the text.
struct SamFields {
    static const int MANDATORY = 11;
    static const int SEQUENCE = 9;
    static const int QUALITY = 10;

    std::string_view text;                // the whole line
    std::string_view aFields[MANDATORY];  // its first non-empty fields
    int iCount = 0;                       // how many of them it has
    std::string_view tags;                // the text after them

    // False when the line has fewer than eleven fields.
    bool Split(const char* pText, std::size_t iLength);
    std::string_view Field(int i) const { return aFields[i]; }
    // Whether the line lacks SEQ or QUAL, so that it must take them from another line of its read.
    bool LacksSequence() const {
        return iCount == MANDATORY && (aFields[SEQUENCE] == "*" || aFields[QUALITY] == "*");
    }
};

// What the fields of an alignment line say, checked in a fixed order: the first reason to
// reject it (bRejected, reason), and what the checks up to there found.
struct AlignmentVerdict {
    bool bRejected = false;
    RejectReason reason = RejectReason::TooFewFields;
    long long iFlag = 0;      // FLAG
    long long iPosition = 0;  // POS
    CigarShape cigar;
    std::string_view mdField;  // the MD:Z tag; empty when the line has none
    MismatchTagReading mdReading;

    bool Reject(RejectReason why) {
        bRejected = true;
        reason = why;
        return false;
    }
    // Whether the line has an MD:Z tag and every check before it passed.
    bool ReachedMismatchTag() const { return !bRejected || reason == RejectReason::UnreadableMdTag; }
};

// The checks that need no other line: a NUL byte, the number of fields, FLAG (unmapped,
// supplementary), POS. False, with the reason in verdict, when one fails.
bool ExamineFixedFields(const SamFields& fields, AlignmentVerdict& verdict);

// The checks that follow, for the line's alignment of sequence and quality (its own SEQ and
// QUAL, or another line's) in a read of iReadLength bases: the CIGAR, the lengths, the bases,
// the MD:Z tag, whose mismatch offsets go to vMdOffsets. False, with the reason, when one fails.
bool ExamineSequence(const SamFields& fields, std::string_view sequence, std::string_view quality, int iReadLength,
                     AlignmentVerdict& verdict, std::vector<int>& vMdOffsets);

// The length of a sequence as a read length (clamped at INT_MAX).
int SequenceLength(std::string_view sequence);

#endif
