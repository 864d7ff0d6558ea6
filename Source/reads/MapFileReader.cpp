#include "MapFileReader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <sstream>
#include <utility>

#include "Logger.h"

namespace {

const int64_t WARNINGS_SHOWN = 10;

const char* const GROUP_REMEDY =
    "group the alignments of each read first, for example with `samtools collate` or `samtools sort -n`";

char Complement(char c) {
    switch (c) {
        case 'A': return 'T';
        case 'T': return 'A';
        case 'C': return 'G';
        case 'G': return 'C';
        default: return c;
    }
}

// Replaces the text of a reused string; cheaper than assign once its capacity has grown.
void CopyInto(std::string& sTarget, std::string_view text) {
    sTarget.resize(text.size());
    std::memcpy(&sTarget[0], text.data(), text.size());
}

// Ends a field with a NUL in place (the byte after it is a tab or the line's spare byte).
const char* Terminated(std::string_view field) {
    char* pEnd = const_cast<char*>(field.data()) + field.size();
    *pEnd = '\0';
    return field.data();
}

}  // namespace

MapFileReader::MapFileReader(LineSource& source_, std::string sFileName, int iThreads, std::size_t iBlockBytes)
    : source(source_),
      pFeed(iThreads > 1 ? std::make_unique<ParsedLineFeed>(source_, iThreads, iBlockBytes) : nullptr),
      fileName(std::move(sFileName)),
      currentLineNumber(0),
      bSawAlignment(false),
      bSawMismatchTag(false),
      currentLine{std::string(), 0} {}

// The next line, trimmed; from the feed, already parsed, when there is one.
bool MapFileReader::NextFileLine(LineView& line) {
    if (pFeed) {
        if (!pFeed->Next(pParsedLine)) return false;
        line = pParsedLine->line;
    } else if (!source.NextLine(line)) {
        return false;
    }
    if (currentLineNumber == INT_MAX)
        throw InputError(DescribeSamFile(fileName) + " has more than 2147483647 lines, more than KORVEX can number");
    ++currentLineNumber;
    if (!pFeed) TrimBlanks(line);
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
    return fields.LacksSequence();
}

// The mate of the split line: 1 or 2 for a line of a pair (FLAG 0x1) with 0x40 or 0x80, else 0.
// A line whose FLAG is no number counts as single-end; it is rejected for that later.
int MapFileReader::MateOfSplitLine() const {
    // An even FLAG, as every single-end line has, ends in an even digit: no need to read it.
    if (fields.iCount < SamFields::MANDATORY || Field(1).empty() || (Field(1).back() - '0') % 2 == 0) return 0;
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

// The first line of a read's mate that carries both SEQ and QUAL lends them to the mate's other
// lines. The donor of the read before is kept too: its lines may still follow, waiting for their
// donor or behind another read's line that is rejected (an unmapped read between them).
void MapFileReader::RememberSequenceDonor() {
    if (fields.iCount < SamFields::MANDATORY || NeedsSequenceFromAnotherLine()) return;
    SequenceDonor* aMateDonors = aDonors[iLineMate];
    if (Field(0) == aMateDonors[0].sName) return;
    long long iFlag = 0;
    if (!ParseUnsigned(Field(1), 65535, iFlag)) return;
    std::swap(aMateDonors[0], aMateDonors[1]);
    CopyInto(aMateDonors[0].sName, Field(0));
    CopyInto(aMateDonors[0].sSequence, Field(SamFields::SEQUENCE));
    CopyInto(aMateDonors[0].sQuality, Field(SamFields::QUALITY));
    aMateDonors[0].bReverse = (iFlag & 16) != 0;
}

// The first line of a read's mate that has a sequence fixes the mate's length.
void MapFileReader::RememberReadLength() {
    if (fields.iCount < SamFields::MANDATORY || Field(SamFields::SEQUENCE) == "*") return;
    KnownLength* aMateLengths = aLengths[iLineMate];
    if (Field(0) == aMateLengths[0].sName) return;
    if (!vWaiting.empty()) std::swap(aMateLengths[0], aMateLengths[1]);
    CopyInto(aMateLengths[0].sName, Field(0));
    aMateLengths[0].iLength = static_cast<int>(std::min<std::size_t>(Field(SamFields::SEQUENCE).size(), INT_MAX));
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
            fields.Split(currentLine.sText.data(), currentLine.sText.size());
            iLineMate = MateOfSplitLine();
            if (ProcessAlignmentLine(currentLine.iLineNumber, read, rejectedCount, nullptr)) return true;
            continue;
        }
        LineView line;
        if (!NextFileAlignmentLine(line)) {
            if (vWaiting.empty()) return false;
            ReleaseWaitingLines();
            continue;
        }
        const int iLineNumber = currentLineNumber;
        if (pFeed)
            fields = pParsedLine->fields;
        else
            fields.Split(line.pData, line.iLength);
        iLineMate = MateOfSplitLine();
        RememberSequenceDonor();
        RememberReadLength();
        if (HoldUntilSequenceKnown(line, iLineNumber)) continue;
        if (ProcessAlignmentLine(iLineNumber, read, rejectedCount, pFeed ? pParsedLine : nullptr)) return true;
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
    sequence = Field(SamFields::SEQUENCE);
    quality = Field(SamFields::QUALITY);
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

// Tests one split alignment line and, when it is usable, stores it in read. A line that the feed
// examined on its own keeps that verdict unless it takes SEQ and QUAL from another line or its
// read has another length than its SEQ: those checks are made here, in the same order.
bool MapFileReader::ProcessAlignmentLine(int iLineNumber, Read& read, int& rejectedCount, const ParsedLine* pParsed) {
    if (pParsed != nullptr) {
        verdict = pParsed->verdict;
        if (verdict.bRejected && !pParsed->bSequenceExamined) return Reject(verdict.reason, iLineNumber, rejectedCount);
    } else if (!ExamineFixedFields(fields, verdict)) {
        return Reject(verdict.reason, iLineNumber, rejectedCount);
    }
    std::string_view sequence, quality;  // SEQ, QUAL
    if (!TakeSequenceAndQuality(verdict.iFlag, sequence, quality))
        return Reject(RejectReason::NoSequence, iLineNumber, rejectedCount);
    // The length of the read's mate, known once a line of it had a sequence: this one's at the latest.
    int iReadLength = SequenceLength(sequence);
    for (const KnownLength& known : aLengths[iLineMate]) {
        if (known.sName != Field(0)) continue;
        iReadLength = known.iLength;
        break;
    }
    const int* pMdOffsets = nullptr;
    if (pParsed != nullptr && pParsed->bSequenceExamined && iReadLength == SequenceLength(sequence)) {
        pMdOffsets = pParsed->pMdOffsets;
    } else {
        ExamineSequence(fields, sequence, quality, iReadLength, verdict, vMdOffsets);
        pMdOffsets = vMdOffsets.data();
    }
    if (verdict.ReachedMismatchTag()) bSawMismatchTag = true;
    if (verdict.bRejected) {
        if (verdict.reason == RejectReason::UnreadableMdTag) WarnOfMismatchTag(iLineNumber);
        return Reject(verdict.reason, iLineNumber, rejectedCount);
    }

    const CigarShape& cigar = verdict.cigar;
    read.readID = Terminated(Field(0));      // QNAME
    read.chromosome = Terminated(Field(2));  // RNAME
    read.position = static_cast<int>(verdict.iPosition - cigar.iLeftClip);
    read.lineNumber = iLineNumber;
    read.quality = Terminated(quality);
    read.iLength = static_cast<int16_t>(iReadLength);
    read.strand = (verdict.iFlag & 16) ? '-' : '+';
    read.iMate = static_cast<int8_t>(iLineMate);
    lastSpan = AlignedSpan{verdict.iPosition, cigar.iAligned};
    TakeMismatches(read, pMdOffsets, verdict.mdReading.iMismatchCount, cigar);
    return true;
}

// Warns of an MD:Z tag that does not describe the aligned bases, for the first lines of each kind.
void MapFileReader::WarnOfMismatchTag(int iLineNumber) {
    const int iProblem = static_cast<int>(verdict.mdReading.problem);
    if (++aiWarnings[iProblem] <= WARNINGS_SHOWN)
        GetLogger()->Write(
            MismatchTagWarning(verdict.mdReading, verdict.mdField, iLineNumber, static_cast<int>(verdict.cigar.iAligned)),
            LogLevel::Warning);
}

// The mismatches of read, ascending: the bases clipped at the left end, those of the MD:Z field
// (its offsets count from the first aligned base), the bases clipped at the right end; each with
// its quality character.
void MapFileReader::TakeMismatches(Read& read, const int* pMdOffsets, int iMdOffsetCount, const CigarShape& cigar) {
    const int iAligned = static_cast<int>(cigar.iAligned);
    const int iLeftClip = static_cast<int>(cigar.iLeftClip);
    // Lines reach here with QUAL as long as the read.
    vMismatches.clear();
    auto add = [&](int iOffset) { vMismatches.emplace_back(static_cast<int16_t>(iOffset), read.quality[iOffset]); };
    for (int k = 0; k < iLeftClip; ++k) add(k);
    for (int i = 0; i < iMdOffsetCount; ++i) add(iLeftClip + pMdOffsets[i]);
    for (int k = iLeftClip + iAligned; k < read.iLength; ++k) add(k);
    read.pMismatches = vMismatches.data();
    read.iMismatchCount = static_cast<uint16_t>(vMismatches.size());
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
