#ifndef KORVEX_ALIGNMENTLINE_H
#define KORVEX_ALIGNMENTLINE_H

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

#include "Cigar.h"
#include "LineSource.h"
#include "MismatchTag.h"
#include "Read.h"
#include "RejectReason.h"
#include "Trim.h"

// Removes blanks and tabs from both ends of a line.
inline void TrimBlanks(LineView& line) {
    const std::string_view text = Trim(std::string_view(line.pData, line.iLength), SPACES_AND_TABS);
    line.pData += text.data() - line.pData;
    line.iLength = text.size();
}

// A field made only of decimal digits whose value is at most iMax. Inline, and best given a
// local: the digits are chars, which may alias any stored value.
inline bool ParseUnsigned(std::string_view field, long long iMax, long long& iValue) {
    if (field.empty() || field.size() > 18) return false;
    iValue = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return false;
        iValue = iValue * 10 + (c - '0');
    }
    return iValue <= iMax;
}

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

// Helpers of the checks below.
namespace alignment_line_detail {

// Whether every letter of a sequence is A, C, G or T; one table lookup per letter, no branch.
inline bool AllBases(std::string_view sequence) {
    static const struct Table {
        unsigned char abBase[256] = {};
        Table() {
            for (unsigned char c : {'A', 'C', 'G', 'T'}) abBase[c] = 1;
        }
    } table;
    unsigned char bAll = 1;
    for (char c : sequence) bAll &= table.abBase[static_cast<unsigned char>(c)];
    return bAll != 0;
}

inline RejectReason CigarRejectReason(CigarProblem problem) {
    switch (problem) {
        case CigarProblem::InsertionOrDeletion: return RejectReason::InsertionOrDeletion;
        case CigarProblem::Spliced: return RejectReason::Spliced;
        case CigarProblem::Padded: return RejectReason::Padded;
        default: return RejectReason::MalformedCigar;
    }
}

// The first tag that contains "MD:Z", or an empty text when the line has none. A tag cannot
// hold a tab, so the first "MD:Z" of the tag text lies in that tag.
inline std::string_view FindMismatchField(std::string_view tags) {
    const std::size_t iFound = tags.find("MD:Z");
    if (iFound == std::string_view::npos) return std::string_view();
    const std::size_t iTab = tags.rfind('\t', iFound);
    const std::size_t iStart = iTab == std::string_view::npos ? 0 : iTab + 1;
    return tags.substr(iStart, tags.find('\t', iFound) - iStart);
}

}  // namespace alignment_line_detail

// The length of a sequence as a read length (clamped at INT_MAX).
inline int SequenceLength(std::string_view sequence) {
    return static_cast<int>(std::min<std::size_t>(sequence.size(), INT_MAX));
}

// The checks that need no other line: a NUL byte, the number of fields, FLAG (unmapped,
// supplementary), POS. False, with the reason in verdict, when one fails.
inline bool ExamineFixedFields(const SamFields& fields, AlignmentVerdict& verdict) {
    verdict.bRejected = false;
    if (std::memchr(fields.text.data(), '\0', fields.text.size()) != nullptr)
        return verdict.Reject(RejectReason::NulByte);
    if (fields.iCount < SamFields::MANDATORY) return verdict.Reject(RejectReason::TooFewFields);
    long long iFlag = 0;
    if (!ParseUnsigned(fields.Field(1), 65535, iFlag)) return verdict.Reject(RejectReason::BadFlag);
    verdict.iFlag = iFlag;
    // The reverse strand counts as mapped whatever bit 4 says.
    if (!(iFlag & 16) && (iFlag & 4)) return verdict.Reject(RejectReason::Unmapped);
    if (iFlag & 0x800) return verdict.Reject(RejectReason::Supplementary);
    long long iPosition = 0;
    if (!ParseUnsigned(fields.Field(3), INT_MAX, iPosition)) return verdict.Reject(RejectReason::BadPosition);
    verdict.iPosition = iPosition;
    return true;
}

// The checks that follow, for the line's alignment of sequence and quality (its own SEQ and
// QUAL, or another line's) in a read of iReadLength bases: the CIGAR, the lengths, the bases,
// the MD:Z tag, whose mismatch offsets go to vMdOffsets. False, with the reason, when one fails.
inline bool ExamineSequence(const SamFields& fields, std::string_view sequence, std::string_view quality,
                            int iReadLength, AlignmentVerdict& verdict, std::vector<int>& vMdOffsets) {
    verdict.bRejected = false;
    const CigarShape cigar = ReadCigar(fields.Field(5), SequenceLength(sequence));
    verdict.cigar = cigar;
    if (cigar.problem != CigarProblem::None) return verdict.Reject(alignment_line_detail::CigarRejectReason(cigar.problem));
    if (iReadLength > MAX_READ_LENGTH) return verdict.Reject(RejectReason::ReadTooLong);
    if (sequence.size() != static_cast<std::size_t>(iReadLength)) return verdict.Reject(RejectReason::OtherLength);
    if (quality.size() != sequence.size()) return verdict.Reject(RejectReason::OtherQualityLength);
    if (!alignment_line_detail::AllBases(sequence)) return verdict.Reject(RejectReason::NotAcgt);
    if (cigar.ReadLength() != iReadLength) return verdict.Reject(RejectReason::CigarOtherLength);
    // A line's own SEQ lacks its hard-clipped bases, so one that holds the whole read is not
    // what its CIGAR says (and no SAM writer would take the line).
    if (cigar.iHardClipped > 0 && !fields.LacksSequence()) return verdict.Reject(RejectReason::CigarOtherLength);
    const std::string_view mdField = alignment_line_detail::FindMismatchField(fields.tags);
    verdict.mdField = mdField;
    if (mdField.empty()) return verdict.Reject(RejectReason::NoMdTag);
    verdict.mdReading = ReadMismatchTag(mdField, static_cast<int>(cigar.iAligned), vMdOffsets);
    if (verdict.mdReading.problem != MismatchTagProblem::None) return verdict.Reject(RejectReason::UnreadableMdTag);
    return true;
}

#endif
