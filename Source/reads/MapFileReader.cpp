#include "MapFileReader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <sstream>
#include <utility>

#include "Logger.h"
#include "Trim.h"

namespace {

const int SEQUENCE_FIELD = 9;
const int QUALITY_FIELD = 10;
const int64_t WARNINGS_SHOWN = 10;

const char* const GROUP_REMEDY =
    "group the alignments of each read first, for example with `samtools collate` or `samtools sort -n`";

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

char Complement(char c) {
    switch (c) {
        case 'A': return 'T';
        case 'T': return 'A';
        case 'C': return 'G';
        case 'G': return 'C';
        default: return c;
    }
}

// A field made only of decimal digits whose value is at most iMax.
bool ParseUnsigned(std::string_view field, long long iMax, long long& iValue) {
    if (field.empty() || field.size() > 18) return false;
    iValue = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return false;
        iValue = iValue * 10 + (c - '0');
    }
    return iValue <= iMax;
}

// Removes blanks and tabs from both ends of a line.
void TrimBlanks(LineView& line) {
    const std::string_view text = Trim(std::string_view(line.pData, line.iLength), SPACES_AND_TABS);
    line.pData += text.data() - line.pData;
    line.iLength = text.size();
}

// Replaces the text of a reused string; cheaper than assign once its capacity has grown.
void CopyInto(std::string& sTarget, std::string_view text) {
    sTarget.resize(text.size());
    std::memcpy(&sTarget[0], text.data(), text.size());
}

RejectReason CigarRejectReason(CigarProblem problem) {
    switch (problem) {
        case CigarProblem::InsertionOrDeletion: return RejectReason::InsertionOrDeletion;
        case CigarProblem::Spliced: return RejectReason::Spliced;
        case CigarProblem::Padded: return RejectReason::Padded;
        default: return RejectReason::MalformedCigar;
    }
}

// Ends a field with a NUL in place (the byte after it is a tab or the line's spare byte).
const char* Terminated(std::string_view field) {
    char* pEnd = const_cast<char*>(field.data()) + field.size();
    *pEnd = '\0';
    return field.data();
}

}  // namespace

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

int64_t LineRejections::Total() const {
    int64_t iTotal = 0;
    for (int64_t iCount : aiCount) iTotal += iCount;
    return iTotal;
}

MapFileReader::MapFileReader(LineSource& source_, std::string sFileName)
    : source(source_),
      fileName(std::move(sFileName)),
      currentLineNumber(0),
      bSawAlignment(false),
      bSawMismatchTag(false),
      currentLine{std::string(), 0} {}

bool MapFileReader::NextFileLine(LineView& line) {
    if (!source.NextLine(line)) return false;
    if (currentLineNumber == INT_MAX)
        throw InputError(DescribeSamFile(fileName) + " has more than 2147483647 lines, more than KORVEX can number");
    ++currentLineNumber;
    TrimBlanks(line);
    return true;
}

void MapFileReader::Refuse(int iLineNumber, const std::string& sProblem, const std::string& sRemedy) const {
    std::ostringstream message;
    message << DescribeSamFile(fileName) << ", line " << iLineNumber << ": " << sProblem << "; " << sRemedy << ".";
    throw InputError(message.str());
}

// A coordinate-sorted file scatters the alignments of a read: refused before any work.
void MapFileReader::ReadHeaderLine(const LineView& line) {
    std::string_view text(line.pData, line.iLength);
    if (bSawAlignment || text.compare(0, 4, "@HD\t") != 0) return;
    if (text.find("\tSO:coordinate") == std::string_view::npos) return;
    Refuse(currentLineNumber,
           "the alignments are sorted by coordinate (@HD SO:coordinate), but KORVEX needs the alignments of each "
           "read on consecutive lines",
           GROUP_REMEDY);
}

// Splits a line at tabs into views of its first eleven non-empty fields (QNAME to QUAL) and the
// text after them (the tags). Nothing is changed in the text.
bool MapFileReader::SplitFields(char* pText, std::size_t iLength) {
    currentText = std::string_view(pText, iLength);
    iFieldCount = 0;
    tagText = std::string_view();
    const char* pField = pText;
    const char* pEnd = pText + iLength;
    while (pField < pEnd) {
        const char* pTab = static_cast<const char*>(std::memchr(pField, '\t', static_cast<std::size_t>(pEnd - pField)));
        const char* pFieldEnd = pTab ? pTab : pEnd;
        if (pFieldEnd > pField) {
            aFields[iFieldCount++] = std::string_view(pField, static_cast<std::size_t>(pFieldEnd - pField));
            if (iFieldCount == MANDATORY_FIELDS) {
                if (pTab) tagText = std::string_view(pTab + 1, static_cast<std::size_t>(pEnd - pTab - 1));
                return true;
            }
        }
        if (!pTab) break;
        pField = pTab + 1;
    }
    return false;
}

// The next line of the file that is not empty and not a header line (those are checked).
bool MapFileReader::NextFileAlignmentLine(LineView& line) {
    while (NextFileLine(line)) {
        if (line.iLength == 0) continue;
        if (line.pData[0] == '@') {
            ReadHeaderLine(line);
            continue;
        }
        bSawAlignment = true;
        return true;
    }
    return false;
}

// Whether the split line lacks SEQ or QUAL, so that it must take them from another line of its read.
bool MapFileReader::NeedsSequenceFromAnotherLine() const {
    return iFieldCount == MANDATORY_FIELDS && (Field(SEQUENCE_FIELD) == "*" || Field(QUALITY_FIELD) == "*");
}

// The mate of the split line: 1 or 2 for a line of a pair (FLAG 0x1) with 0x40 or 0x80, else 0.
// A line whose FLAG is no number counts as single-end; it is rejected for that later.
int MapFileReader::MateOfSplitLine() const {
    // An even FLAG, as every single-end line has, ends in an even digit: no need to read it.
    if (iFieldCount < MANDATORY_FIELDS || Field(1).empty() || (Field(1).back() - '0') % 2 == 0) return 0;
    long long iFlag = 0;
    if (!ParseUnsigned(Field(1), 65535, iFlag) || !(iFlag & 1)) return 0;
    if (iFlag & 0x40) return 1;
    return (iFlag & 0x80) ? 2 : 0;
}

// The donor of the split line's read and mate, or none yet.
const MapFileReader::SequenceDonor* MapFileReader::FindDonor() const {
    for (const SequenceDonor& donor : aDonors[iLineMate])
        if (donor.sName == Field(0)) return &donor;
    return nullptr;
}

// The first line of a read's mate that carries both SEQ and QUAL lends them to the mate's other lines.
void MapFileReader::RememberSequenceDonor() {
    if (iFieldCount < MANDATORY_FIELDS || NeedsSequenceFromAnotherLine()) return;
    SequenceDonor* aMateDonors = aDonors[iLineMate];
    if (Field(0) == aMateDonors[0].sName) return;
    long long iFlag = 0;
    if (!ParseUnsigned(Field(1), 65535, iFlag)) return;
    if (!vWaiting.empty()) std::swap(aMateDonors[0], aMateDonors[1]);  // the waiting lines may need it
    CopyInto(aMateDonors[0].sName, Field(0));
    CopyInto(aMateDonors[0].sSequence, Field(SEQUENCE_FIELD));
    CopyInto(aMateDonors[0].sQuality, Field(QUALITY_FIELD));
    aMateDonors[0].bReverse = (iFlag & 16) != 0;
}

// The first line of a read's mate that has a sequence fixes the mate's length.
void MapFileReader::RememberReadLength() {
    if (iFieldCount < MANDATORY_FIELDS || Field(SEQUENCE_FIELD) == "*") return;
    KnownLength* aMateLengths = aLengths[iLineMate];
    if (Field(0) == aMateLengths[0].sName) return;
    if (!vWaiting.empty()) std::swap(aMateLengths[0], aMateLengths[1]);
    CopyInto(aMateLengths[0].sName, Field(0));
    aMateLengths[0].iLength = static_cast<int>(std::min<std::size_t>(Field(SEQUENCE_FIELD).size(), INT_MAX));
}

// Decides for a split alignment line whether it must wait: for the line of its read that
// carries SEQ and QUAL, or behind lines released from waiting. True when it was taken into a
// queue (as a copy); false when it can be processed at once.
bool MapFileReader::HoldUntilSequenceKnown(const LineView& line, int iLineNumber) {
    const bool bSameReadWaits = !vWaiting.empty() && Field(0) == sWaitingName;
    if (!vWaiting.empty() && !bSameReadWaits) ReleaseWaitingLines();  // a donor never came
    const bool bLacksSequence = NeedsSequenceFromAnotherLine() && FindDonor() == nullptr;
    if (vWaiting.empty() && bLacksSequence) sWaitingName.assign(Field(0).data(), Field(0).size());
    if (bSameReadWaits || bLacksSequence) {
        vWaiting.push_back(HeldLine{std::string(line.pData, line.iLength), iLineNumber});
        if (bLacksSequence) iWaitingMates |= 1 << iLineMate;
        if (FindDonor() != nullptr) iWaitingMates &= ~(1 << iLineMate);
        if (iWaitingMates == 0) ReleaseWaitingLines();  // every donor has come
        return true;
    }
    if (vReady.empty()) return false;
    vReady.push_back(HeldLine{std::string(line.pData, line.iLength), iLineNumber});
    return true;
}

void MapFileReader::ReleaseWaitingLines() {
    for (HeldLine& held : vWaiting) vReady.push_back(std::move(held));
    vWaiting.clear();
    iWaitingMates = 0;
}

bool MapFileReader::Read_a_Line(Read& read, int& rejectedCount) {
    for (;;) {
        if (!vReady.empty()) {
            currentLine = std::move(vReady.front());
            vReady.pop_front();
            SplitFields(currentLine.sText.data(), currentLine.sText.size());
            iLineMate = MateOfSplitLine();
            if (ProcessAlignmentLine(currentLine.iLineNumber, read, rejectedCount)) return true;
            continue;
        }
        LineView line;
        if (!NextFileAlignmentLine(line)) {
            if (vWaiting.empty()) return false;
            ReleaseWaitingLines();
            continue;
        }
        const int iLineNumber = currentLineNumber;
        SplitFields(line.pData, line.iLength);
        iLineMate = MateOfSplitLine();
        RememberSequenceDonor();
        RememberReadLength();
        if (HoldUntilSequenceKnown(line, iLineNumber)) continue;
        if (ProcessAlignmentLine(iLineNumber, read, rejectedCount)) return true;
    }
}

bool MapFileReader::Reject(RejectReason reason, int iLineNumber, int& rejectedCount) {
    rejections.Add(reason, iLineNumber);
    ++rejectedCount;
    return false;
}

// SEQ and QUAL of the split line, taken from the read's donor line when the line has "*" in
// either: reverse-complemented and reversed when the two lie on different strands. False when
// the line lacks either and no line of its read lends both: without a quality character for
// every base, a mismatch could not be scored.
bool MapFileReader::TakeSequenceAndQuality(long long iFlag, std::string_view& sequence, std::string_view& quality) {
    sequence = Field(SEQUENCE_FIELD);
    quality = Field(QUALITY_FIELD);
    if (sequence != "*" && quality != "*") return true;
    const SequenceDonor* pDonor = FindDonor();
    if (pDonor == nullptr) return false;
    const bool bReverse = ((iFlag & 16) != 0) != pDonor->bReverse;
    sFilledSequence = pDonor->sSequence;
    sFilledQuality = pDonor->sQuality;
    if (bReverse) {
        std::reverse(sFilledSequence.begin(), sFilledSequence.end());
        for (char& c : sFilledSequence) c = Complement(c);
        std::reverse(sFilledQuality.begin(), sFilledQuality.end());
    }
    sequence = sFilledSequence;
    quality = sFilledQuality;
    return true;
}

// The first tag that contains "MD:Z", or an empty text when the line has none. A tag cannot
// hold a tab, so the first "MD:Z" of the tag text lies in that tag.
std::string_view MapFileReader::FindMismatchField() const {
    const std::size_t iFound = tagText.find("MD:Z");
    if (iFound == std::string_view::npos) return std::string_view();
    const std::size_t iTab = tagText.rfind('\t', iFound);
    const std::size_t iStart = iTab == std::string_view::npos ? 0 : iTab + 1;
    return tagText.substr(iStart, tagText.find('\t', iFound) - iStart);
}

// Tests one split alignment line field by field and, when it is usable, stores it in read.
bool MapFileReader::ProcessAlignmentLine(int iLineNumber, Read& read, int& rejectedCount) {
    if (std::memchr(currentText.data(), '\0', currentText.size()) != nullptr)
        return Reject(RejectReason::NulByte, iLineNumber, rejectedCount);
    if (iFieldCount < MANDATORY_FIELDS) return Reject(RejectReason::TooFewFields, iLineNumber, rejectedCount);
    long long iFlag = 0;  // FLAG
    if (!ParseUnsigned(Field(1), 65535, iFlag)) return Reject(RejectReason::BadFlag, iLineNumber, rejectedCount);
    const char strand = (iFlag & 16) ? '-' : '+';  // reverse strand counts as mapped whatever bit 4 says
    if (strand == '+' && (iFlag & 4)) return Reject(RejectReason::Unmapped, iLineNumber, rejectedCount);
    if (iFlag & 0x800) return Reject(RejectReason::Supplementary, iLineNumber, rejectedCount);
    long long iPosition = 0;  // POS
    if (!ParseUnsigned(Field(3), INT_MAX, iPosition))
        return Reject(RejectReason::BadPosition, iLineNumber, rejectedCount);
    std::string_view sequence, quality;  // SEQ, QUAL
    if (!TakeSequenceAndQuality(iFlag, sequence, quality))
        return Reject(RejectReason::NoSequence, iLineNumber, rejectedCount);
    // The length of the read's mate, known once a line of it had a sequence: this one's at the latest.
    int iReadLength = static_cast<int>(std::min<std::size_t>(sequence.size(), INT_MAX));
    for (const KnownLength& known : aLengths[iLineMate]) {
        if (known.sName != Field(0)) continue;
        iReadLength = known.iLength;
        break;
    }
    const CigarShape cigar = ReadCigar(Field(5), static_cast<int>(std::min<std::size_t>(sequence.size(), INT_MAX)));
    if (cigar.problem != CigarProblem::None)
        return Reject(CigarRejectReason(cigar.problem), iLineNumber, rejectedCount);
    if (iReadLength > MAX_READ_LENGTH) return Reject(RejectReason::ReadTooLong, iLineNumber, rejectedCount);
    if (sequence.size() != static_cast<std::size_t>(iReadLength))
        return Reject(RejectReason::OtherLength, iLineNumber, rejectedCount);
    if (quality.size() != sequence.size())
        return Reject(RejectReason::OtherQualityLength, iLineNumber, rejectedCount);
    if (!AllBases(sequence))
        return Reject(RejectReason::NotAcgt, iLineNumber, rejectedCount);
    if (cigar.ReadLength() != iReadLength) return Reject(RejectReason::CigarOtherLength, iLineNumber, rejectedCount);
    const std::string_view mdField = FindMismatchField();  // MD:Z
    if (mdField.empty()) return Reject(RejectReason::NoMdTag, iLineNumber, rejectedCount);
    bSawMismatchTag = true;

    read.readID = Terminated(Field(0));      // QNAME
    read.chromosome = Terminated(Field(2));  // RNAME
    read.position = static_cast<int>(iPosition - cigar.iLeftClip);
    read.lineNumber = iLineNumber;
    read.quality = Terminated(quality);
    read.iLength = static_cast<int16_t>(iReadLength);
    read.strand = strand;
    read.iMate = static_cast<int8_t>(iLineMate);
    lastSpan = AlignedSpan{iPosition, cigar.iAligned};
    if (!TakeMismatches(read, mdField, cigar)) return Reject(RejectReason::UnreadableMdTag, iLineNumber, rejectedCount);
    return true;
}

// The mismatches of read, ascending: the bases clipped at the left end, those of the MD:Z field
// (its offsets count from the first aligned base), the bases clipped at the right end; each with
// its quality character. False, after a warning, when the tag does not describe the aligned bases.
bool MapFileReader::TakeMismatches(Read& read, std::string_view mdField, const CigarShape& cigar) {
    const int iAligned = static_cast<int>(cigar.iAligned);
    const int iLeftClip = static_cast<int>(cigar.iLeftClip);
    const MismatchTagReading reading = ReadMismatchTag(mdField, iAligned, vMdOffsets);
    if (reading.problem != MismatchTagProblem::None) {
        const int iProblem = static_cast<int>(reading.problem);
        if (++aiWarnings[iProblem] <= WARNINGS_SHOWN)
            GetLogger()->Write(MismatchTagWarning(reading, mdField, read.lineNumber, iAligned), LogLevel::Warning);
        return false;
    }
    // Lines reach here with QUAL as long as the read.
    vMismatches.clear();
    auto add = [&](int iOffset) { vMismatches.emplace_back(static_cast<int16_t>(iOffset), read.quality[iOffset]); };
    for (int k = 0; k < iLeftClip; ++k) add(k);
    for (int iOffset : vMdOffsets) add(iLeftClip + iOffset);
    for (int k = iLeftClip + iAligned; k < read.iLength; ++k) add(k);
    read.pMismatches = vMismatches.data();
    read.iMismatchCount = static_cast<uint16_t>(vMismatches.size());
    return true;
}

void MapFileReader::LogSuppressedWarnings() {
    for (int iProblem = 0; iProblem < MISMATCH_TAG_PROBLEM_COUNT; ++iProblem) {
        if (aiWarnings[iProblem] <= WARNINGS_SHOWN) continue;
        std::ostringstream message;
        message << "ParseMismatchString: " << aiWarnings[iProblem] - WARNINGS_SHOWN << " more warnings about "
                << MismatchTagProblemKind(static_cast<MismatchTagProblem>(iProblem)) << " were not shown ("
                << aiWarnings[iProblem] << " in all)." << std::endl;
        GetLogger()->Write(message, true, LogLevel::Warning);
    }
}
