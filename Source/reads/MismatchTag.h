#ifndef KORVEX_MISMATCHTAG_H
#define KORVEX_MISMATCHTAG_H

#include <string>
#include <string_view>
#include <vector>

// Why an MD:Z tag does not give the mismatches of an alignment. The problems are listed in the
// order in which the reader's log counts their suppressed warnings.
enum class MismatchTagProblem { None, TooShort, NegativeCount, OtherLength, Deletion };
constexpr int MISMATCH_TAG_PROBLEM_COUNT = 5;  // None included

// What an MD:Z tag says of one alignment.
struct MismatchTagReading {
    MismatchTagProblem problem = MismatchTagProblem::None;
    int iMismatchCount = 0;          // mismatches found
    long long iDescribedLength = 0;  // bases the tag describes
};

// Reads the mismatch offsets of an alignment of iAlignedLength aligned bases from a whole MD:Z
// field ("MD:Z:" then the tag) into vOffsets (0-based offsets in the aligned bases, ascending,
// however many), or finds why it cannot: a field too short to hold a tag, a deletion, a negative
// count, or another length than the aligned bases; vOffsets is then empty.
MismatchTagReading ReadMismatchTag(std::string_view mdField, int iAlignedLength, std::vector<int>& vOffsets);

// The warning for a reading with a problem, naming the SAM line and the field; one line end
// after each line.
std::string MismatchTagWarning(const MismatchTagReading& reading, std::string_view mdField, int iLineNumber,
                               int iAlignedLength);

// What the log calls the tags of one problem when it counts the warnings it did not show.
const char* MismatchTagProblemKind(MismatchTagProblem problem);

#endif
