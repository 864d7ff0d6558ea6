#include "MismatchTag.h"

namespace {

bool IsBase(char c) { return c == 'A' || c == 'T' || c == 'C' || c == 'G'; }

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The count at the start of one MD piece, read as atoi reads it (leading white space, a sign,
// digits up to the first other character). Counts are capped far above any read length, so
// sums of them cannot overflow. bNegative is set for a '-' before digits.
long long ReadMdCount(std::string_view piece, bool& bNegative) {
    const long long CAP = 1000000000LL;
    std::size_t i = 0;
    while (i < piece.size() && IsCSpace(piece[i])) ++i;
    bool bMinus = false;
    if (i < piece.size() && (piece[i] == '+' || piece[i] == '-')) bMinus = (piece[i++] == '-');
    long long iValue = 0;
    bool bDigits = false;
    for (; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i) {
        bDigits = true;
        if (iValue < CAP) iValue = iValue * 10 + (piece[i] - '0');
    }
    bNegative = bMinus && bDigits;
    return bMinus ? -iValue : iValue;
}

// One row per problem: the kind in the count of suppressed warnings, whether the warning
// starts by naming the line, and the warning with {line}, {field}, {found}, {length}, {count}
// and {limit} standing for its values.
struct ProblemText {
    const char* sKind;
    bool bNamesLine;
    const char* sWarning;
};

const char* const NAMING_THE_LINE = "ParseMismatchString: for Read of line number: {line} in SAM file: Warning: ";

const ProblemText PROBLEM_TEXTS[MISMATCH_TAG_PROBLEM_COUNT] = {
    {"", false, ""},
    {"mismatch fields too short to hold a mismatch string", true,
     "the mismatch field {field} is too short to hold a mismatch string; no mismatches are taken from it.\n"},
    {"mismatch strings with a negative count", true,
     "the mismatch string {field} holds a negative count; no mismatches are taken from it.\n"},
    {"mismatch strings of another length than the read", true,
     "the length found in the mismatch string {field} ({found} ), is not equal to the Sequence Length ({length}).\n"},
    {"mismatch strings with more than 3 mismatches", false,
     "ParseMismatchString: Warning: The current number of mismatches is: ({count}), which exceeds the designated "
     "maximum number ({limit}) of mismatches allowed.\n"
     "ParseMismatchString: No information will be extracted from this entry. Returning -1.\n"},
    {"mismatch strings with a deletion", true,
     "the mismatch string {field} holds a deletion (^); no mismatches are taken from it.\n"}};

// Replaces every {name} of sTemplate by its value.
std::string Expand(std::string_view sTemplate, const std::string_view (&names)[6], const std::string (&values)[6]) {
    std::string sText;
    std::size_t i = 0;
    while (i < sTemplate.size()) {
        bool bReplaced = false;
        if (sTemplate[i] == '{') {
            for (int n = 0; n < 6 && !bReplaced; ++n) {
                if (sTemplate.compare(i, names[n].size(), names[n]) != 0) continue;
                sText += values[n];
                i += names[n].size();
                bReplaced = true;
            }
        }
        if (!bReplaced) sText += sTemplate[i++];
    }
    return sText;
}

MismatchTagReading WithProblem(MismatchTagReading reading, MismatchTagProblem problem) {
    reading.problem = problem;
    return reading;
}

}  // namespace

MismatchTagReading ReadMismatchTag(std::string_view mdField, int iReadLength) {
    MismatchTagReading reading;
    if (mdField.empty()) return reading;
    if (mdField.size() < 5) return WithProblem(reading, MismatchTagProblem::TooShort);
    const std::string_view tag = mdField.substr(5);  // "MD:Z:", dropped by position
    if (tag.find('^') != std::string_view::npos) return WithProblem(reading, MismatchTagProblem::Deletion);

    // Cut the tag at A, T, C and G; the pieces between them are the match counts.
    long long aiCounts[MAX_MISMATCHES_PER_ALIGNMENT + 1] = {};
    int K = 0;
    bool bNegative = false;
    std::size_t iPieceStart = 0;
    for (std::size_t i = 0; i <= tag.size(); ++i) {
        const bool bEnd = (i == tag.size());
        if (!bEnd && !IsBase(tag[i])) continue;
        bool bPieceNegative = false;
        const long long iCount = ReadMdCount(tag.substr(iPieceStart, i - iPieceStart), bPieceNegative);
        bNegative = bNegative || bPieceNegative;
        if (K <= MAX_MISMATCHES_PER_ALIGNMENT) aiCounts[K] = iCount;
        reading.iDescribedLength += iCount;
        if (!bEnd) ++K;
        iPieceStart = i + 1;
    }
    reading.iDescribedLength += K;
    reading.iMismatchCount = K;

    // A negative count would move the offsets backwards (duplicates, or before the read).
    if (bNegative) return WithProblem(reading, MismatchTagProblem::NegativeCount);
    if (reading.iDescribedLength != iReadLength) return WithProblem(reading, MismatchTagProblem::OtherLength);
    if (K > MAX_MISMATCHES_PER_ALIGNMENT) return WithProblem(reading, MismatchTagProblem::TooManyMismatches);

    // The counts add up to the read length, so every offset lies within the read.
    long long iOffset = -1;
    for (int i = 0; i < K; ++i) {
        iOffset += aiCounts[i] + 1;
        reading.aiOffsets[i] = static_cast<int>(iOffset);
    }
    return reading;
}

std::string MismatchTagWarning(const MismatchTagReading& reading, std::string_view mdField, int iLineNumber,
                               int iReadLength) {
    static const std::string_view NAMES[6] = {"{line}", "{field}", "{found}", "{length}", "{count}", "{limit}"};
    const std::string values[6] = {std::to_string(iLineNumber),
                                   std::string(mdField),
                                   std::to_string(reading.iDescribedLength),
                                   std::to_string(iReadLength),
                                   std::to_string(reading.iMismatchCount),
                                   std::to_string(MAX_MISMATCHES_PER_ALIGNMENT)};
    const ProblemText& text = PROBLEM_TEXTS[static_cast<int>(reading.problem)];
    return Expand(std::string(text.bNamesLine ? NAMING_THE_LINE : "") + text.sWarning, NAMES, values);
}

const char* MismatchTagProblemKind(MismatchTagProblem problem) {
    return PROBLEM_TEXTS[static_cast<int>(problem)].sKind;
}
