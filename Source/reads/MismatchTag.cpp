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
// starts by naming the line, and the warning with {line}, {field}, {found} and {length}
// standing for its values.
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
    {"mismatch strings of another length than the aligned bases", true,
     "the length found in the mismatch string {field} ({found} ), is not equal to the number of aligned bases "
     "({length}).\n"},
    {"mismatch strings with a deletion", true,
     "the mismatch string {field} holds a deletion (^); no mismatches are taken from it.\n"}};

// Replaces every {name} of sTemplate by its value.
std::string Expand(std::string_view sTemplate, const std::string_view (&names)[4], const std::string (&values)[4]) {
    std::string sText;
    std::size_t i = 0;
    while (i < sTemplate.size()) {
        bool bReplaced = false;
        if (sTemplate[i] == '{') {
            for (int n = 0; n < 4 && !bReplaced; ++n) {
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

MismatchTagReading ReadMismatchTag(std::string_view mdField, int iAlignedLength, std::vector<int>& vOffsets) {
    MismatchTagReading reading;
    vOffsets.clear();
    if (mdField.empty()) return reading;
    if (mdField.size() < 5) return WithProblem(reading, MismatchTagProblem::TooShort);
    const std::string_view tag = mdField.substr(5);  // "MD:Z:", dropped by position
    if (tag.find('^') != std::string_view::npos) return WithProblem(reading, MismatchTagProblem::Deletion);

    // Cut the tag at A, T, C and G; the pieces between them are the match counts. An offset is
    // kept only while it lies within the aligned bases: beyond them the tag is refused anyway.
    int K = 0;
    bool bNegative = false;
    long long iOffset = -1;
    std::size_t iPieceStart = 0;
    for (std::size_t i = 0; i <= tag.size(); ++i) {
        const bool bEnd = (i == tag.size());
        if (!bEnd && !IsBase(tag[i])) continue;
        bool bPieceNegative = false;
        const long long iCount = ReadMdCount(tag.substr(iPieceStart, i - iPieceStart), bPieceNegative);
        bNegative = bNegative || bPieceNegative;
        reading.iDescribedLength += iCount;
        if (!bEnd) {
            ++K;
            iOffset += iCount + 1;
            if (iOffset >= 0 && iOffset < iAlignedLength) vOffsets.push_back(static_cast<int>(iOffset));
        }
        iPieceStart = i + 1;
    }
    reading.iDescribedLength += K;
    reading.iMismatchCount = K;

    // A negative count would move the offsets backwards (duplicates, or before the read). Once
    // the counts are not negative and add up to the aligned length, every offset was kept.
    MismatchTagProblem problem = MismatchTagProblem::None;
    if (bNegative) problem = MismatchTagProblem::NegativeCount;
    else if (reading.iDescribedLength != iAlignedLength) problem = MismatchTagProblem::OtherLength;
    if (problem != MismatchTagProblem::None) vOffsets.clear();
    return WithProblem(reading, problem);
}

std::string MismatchTagWarning(const MismatchTagReading& reading, std::string_view mdField, int iLineNumber,
                               int iAlignedLength) {
    static const std::string_view NAMES[4] = {"{line}", "{field}", "{found}", "{length}"};
    const std::string values[4] = {std::to_string(iLineNumber), std::string(mdField),
                                   std::to_string(reading.iDescribedLength), std::to_string(iAlignedLength)};
    const ProblemText& text = PROBLEM_TEXTS[static_cast<int>(reading.problem)];
    return Expand(std::string(text.bNamesLine ? NAMING_THE_LINE : "") + text.sWarning, NAMES, values);
}

const char* MismatchTagProblemKind(MismatchTagProblem problem) {
    return PROBLEM_TEXTS[static_cast<int>(problem)].sKind;
}
