#ifndef KORVEX_MAPFILEREADER_H
#define KORVEX_MAPFILEREADER_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "Cigar.h"
#include "LineSource.h"
#include "MismatchTag.h"
#include "Read.h"

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
    CigarOtherLength,     // the CIGAR's clipped and aligned bases do not add up to the read's length
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
    int64_t Count(RejectReason reason) const { return aiCount[static_cast<int>(reason)]; }
    int64_t Total() const;
};

// Where the aligned bases of a line lie on its reference, clipped bases left out: POS and the
// number of M, = and X bases.
struct AlignedSpan {
    long long iFirst;
    long long iCount;

    long long Last() const { return iFirst + iCount - 1; }
};

// Reads the lines of a SAM file and turns each usable alignment line into a Read: the ungapped
// alignment of the whole read, its clipped bases counted as mismatches. Each read ID, and each
// mate of a pair read, has its own length, the SEQ length of its first line that has a sequence.
// Header lines are skipped; a file sorted by coordinate is refused with an InputError that names
// the file, the line and the remedy.
class MapFileReader {
public:
    // source yields the file's lines; sFileName names the file in messages.
    MapFileReader(LineSource& source, std::string sFileName);

    // The next accepted alignment; false at the end of the file. The texts and mismatches of
    // read point into the reader's buffers and stay valid only until the next call.
    bool Read_a_Line(Read& read, int& rejectedCount);

    const LineRejections& Rejections() const { return rejections; }
    // Whether the file had a line other than header lines and empty lines.
    bool SawAlignmentLine() const { return bSawAlignment; }
    // Lines taken from the file so far, header lines included.
    int LinesRead() const { return currentLineNumber; }
    // Whether any alignment line so far had an MD:Z tag.
    bool SawMismatchTag() const { return bSawMismatchTag; }
    // The aligned bases of the last accepted line: for pair rules, which leave clipped bases out.
    AlignedSpan LastAlignedSpan() const { return lastSpan; }
    // Logs, for each kind of warning printed for more than the first lines, how many were not shown.
    void LogSuppressedWarnings();

private:
    // An alignment line held back as a copy: waiting for the line of its read that carries SEQ
    // and QUAL, or queued behind such lines.
    struct HeldLine {
        std::string sText;
        int iLineNumber;
    };
    // The first line of a read's mate that carries both SEQ and QUAL (the donor), and the SEQ
    // length of its first line that has a sequence.
    struct SequenceDonor {
        std::string sName;
        std::string sSequence;
        std::string sQuality;
        bool bReverse = false;
    };
    struct KnownLength {
        std::string sName;
        int iLength = 0;
    };

    bool NextFileLine(LineView& line);
    bool NextFileAlignmentLine(LineView& line);
    void ReadHeaderLine(const LineView& line);
    bool SplitFields(char* pText, std::size_t iLength);
    std::string_view Field(int i) const { return aFields[i]; }
    bool NeedsSequenceFromAnotherLine() const;
    int MateOfSplitLine() const;
    const SequenceDonor* FindDonor() const;
    void RememberSequenceDonor();
    void RememberReadLength();
    bool HoldUntilSequenceKnown(const LineView& line, int iLineNumber);
    void ReleaseWaitingLines();
    bool ProcessAlignmentLine(int iLineNumber, Read& read, int& rejectedCount);
    bool TakeSequenceAndQuality(long long iFlag, std::string_view& sequence, std::string_view& quality);
    std::string_view FindMismatchField() const;
    bool TakeMismatches(Read& read, std::string_view mdField, const CigarShape& cigar);
    bool Reject(RejectReason reason, int iLineNumber, int& rejectedCount);
    [[noreturn]] void Refuse(int iLineNumber, const std::string& sProblem, const std::string& sRemedy) const;

    LineSource& source;
    std::string fileName;
    int currentLineNumber;

    static const int MANDATORY_FIELDS = 11;
    std::string_view currentText;               // the current line
    std::string_view aFields[MANDATORY_FIELDS];  // its first non-empty fields
    int iFieldCount = 0;                         // how many of them it has
    std::string_view tagText;                   // the text after them
    bool bSawAlignment;
    bool bSawMismatchTag;

    // For each mate (0 for single-end reads): of the newest read and, when a line of it came while
    // lines of the read before waited, of that read, whose lines are processed after it.
    static const int MATE_KINDS = 3;
    SequenceDonor aDonors[MATE_KINDS][2];
    KnownLength aLengths[MATE_KINDS][2];
    int iLineMate = 0;            // the mate of the split line: 0, 1 or 2
    std::string sFilledSequence;  // SEQ and QUAL given to a line from the donor; reused
    std::string sFilledQuality;

    std::vector<HeldLine> vWaiting;  // lines of one read waiting for donors, in file order
    std::string sWaitingName;        // their read ID
    int iWaitingMates = 0;           // bit m: a waiting line of mate m has no donor yet
    std::deque<HeldLine> vReady;     // lines to process before the next line of the file
    HeldLine currentLine;            // the held line being processed; its text backs the Read
    AlignedSpan lastSpan{0, 0};      // of the last accepted line

    std::vector<int> vMdOffsets;              // offsets of one MD:Z tag; reused
    std::vector<ReadMismatch> vMismatches;    // the mismatches of the last accepted line; reused

    LineRejections rejections;
    int64_t aiWarnings[MISMATCH_TAG_PROBLEM_COUNT] = {};  // by problem
};

#endif
