#include "AlignmentLine.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "Read.h"
#include "Trim.h"

namespace {

// Whether every letter of a sequence is A, C, G or T; one table lookup per letter, no branch.
bool AllBases(std::string_view sequence) {
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

RejectReason CigarRejectReason(CigarProblem problem) {
    switch (problem) {
        case CigarProblem::InsertionOrDeletion: return RejectReason::InsertionOrDeletion;
        case CigarProblem::Spliced: return RejectReason::Spliced;
        case CigarProblem::Padded: return RejectReason::Padded;
        default: return RejectReason::MalformedCigar;
    }
}

// The first tag that contains "MD:Z", or an empty text when the line has none. A tag cannot
// hold a tab, so the first "MD:Z" of the tag text lies in that tag.
std::string_view FindMismatchField(std::string_view tags) {
    const std::size_t iFound = tags.find("MD:Z");
    if (iFound == std::string_view::npos) return std::string_view();
    const std::size_t iTab = tags.rfind('\t', iFound);
    const std::size_t iStart = iTab == std::string_view::npos ? 0 : iTab + 1;
    return tags.substr(iStart, tags.find('\t', iFound) - iStart);
}

}  // namespace

void TrimBlanks(LineView& line) {
    const std::string_view text = Trim(std::string_view(line.pData, line.iLength), SPACES_AND_TABS);
    line.pData += text.data() - line.pData;
    line.iLength = text.size();
}

bool ParseUnsigned(std::string_view field, long long iMax, long long& iValue) {
    if (field.empty() || field.size() > 18) return false;
    iValue = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return false;
        iValue = iValue * 10 + (c - '0');
    }
    return iValue <= iMax;
}

int SequenceLength(std::string_view sequence) { return static_cast<int>(std::min<std::size_t>(sequence.size(), INT_MAX)); }

bool SamFields::Split(const char* pText, std::size_t iLength) {
    text = std::string_view(pText, iLength);
    iCount = 0;
    tags = std::string_view();
    const char* pField = pText;
    const char* pEnd = pText + iLength;
    while (pField < pEnd) {
        const char* pTab = static_cast<const char*>(std::memchr(pField, '\t', static_cast<std::size_t>(pEnd - pField)));
        const char* pFieldEnd = pTab ? pTab : pEnd;
        if (pFieldEnd > pField) {
            aFields[iCount++] = std::string_view(pField, static_cast<std::size_t>(pFieldEnd - pField));
            if (iCount == MANDATORY) {
                if (pTab) tags = std::string_view(pTab + 1, static_cast<std::size_t>(pEnd - pTab - 1));
                return true;
            }
        }
        if (!pTab) break;
        pField = pTab + 1;
    }
    return false;
}

bool ExamineFixedFields(const SamFields& fields, AlignmentVerdict& verdict) {
    verdict.bRejected = false;
    if (std::memchr(fields.text.data(), '\0', fields.text.size()) != nullptr)
        return verdict.Reject(RejectReason::NulByte);
    if (fields.iCount < SamFields::MANDATORY) return verdict.Reject(RejectReason::TooFewFields);
    if (!ParseUnsigned(fields.Field(1), 65535, verdict.iFlag)) return verdict.Reject(RejectReason::BadFlag);
    // The reverse strand counts as mapped whatever bit 4 says.
    if (!(verdict.iFlag & 16) && (verdict.iFlag & 4)) return verdict.Reject(RejectReason::Unmapped);
    if (verdict.iFlag & 0x800) return verdict.Reject(RejectReason::Supplementary);
    if (!ParseUnsigned(fields.Field(3), INT_MAX, verdict.iPosition)) return verdict.Reject(RejectReason::BadPosition);
    return true;
}

bool ExamineSequence(const SamFields& fields, std::string_view sequence, std::string_view quality, int iReadLength,
                     AlignmentVerdict& verdict, std::vector<int>& vMdOffsets) {
    verdict.bRejected = false;
    verdict.cigar = ReadCigar(fields.Field(5), SequenceLength(sequence));
    const CigarShape& cigar = verdict.cigar;
    if (cigar.problem != CigarProblem::None) return verdict.Reject(CigarRejectReason(cigar.problem));
    if (iReadLength > MAX_READ_LENGTH) return verdict.Reject(RejectReason::ReadTooLong);
    if (sequence.size() != static_cast<std::size_t>(iReadLength)) return verdict.Reject(RejectReason::OtherLength);
    if (quality.size() != sequence.size()) return verdict.Reject(RejectReason::OtherQualityLength);
    if (!AllBases(sequence)) return verdict.Reject(RejectReason::NotAcgt);
    if (cigar.ReadLength() != iReadLength) return verdict.Reject(RejectReason::CigarOtherLength);
    verdict.mdField = FindMismatchField(fields.tags);
    if (verdict.mdField.empty()) return verdict.Reject(RejectReason::NoMdTag);
    verdict.mdReading = ReadMismatchTag(verdict.mdField, static_cast<int>(cigar.iAligned), vMdOffsets);
    if (verdict.mdReading.problem != MismatchTagProblem::None) return verdict.Reject(RejectReason::UnreadableMdTag);
    return true;
}
