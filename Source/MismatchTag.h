#ifndef KORVEX_MISMATCHTAG_H
#define KORVEX_MISMATCHTAG_H

#include <string>
#include <string_view>

// The most mismatches an alignment may have.
const int MAX_MISMATCHES_PER_ALIGNMENT = 3;

// Why an MD:Z tag does not give the mismatches of a read. The problems are listed in the order
// in which the reader's log counts their suppressed warnings.
enum class MismatchTagProblem { None, TooShort, NegativeCount, OtherLength, TooManyMismatches, Deletion };
constexpr int MISMATCH_TAG_PROBLEM_COUNT = 6;  // None included

// What an MD:Z tag says of one read.
struct MismatchTagReading {
    MismatchTagProblem problem = MismatchTagProblem::None;
    int iMismatchCount = 0;                             // mismatches found, also beyond the limit
    int aiOffsets[MAX_MISMATCHES_PER_ALIGNMENT] = {};  // 0-based read offsets, ascending; valid without problem
    long long iDescribedLength = 0;                     // bases the tag describes
};

// Reads the mismatch offsets of a read of iReadLength bases from a whole MD:Z field ("MD:Z:"
// then the tag), or finds why it cannot: a field too short to hold a tag, a deletion, a negative
// count, another length than the read, or more than MAX_MISMATCHES_PER_ALIGNMENT mismatches.
MismatchTagReading ReadMismatchTag(std::string_view mdField, int iReadLength);

// The warning for a reading with a problem, naming the SAM line and the field; one line end
// after each line.
std::string MismatchTagWarning(const MismatchTagReading& reading, std::string_view mdField, int iLineNumber,
                               int iReadLength);

// What the log calls the tags of one problem when it counts the warnings it did not show.
const char* MismatchTagProblemKind(MismatchTagProblem problem);

#endif
