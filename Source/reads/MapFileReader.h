#ifndef KORVEX_MAPFILEREADER_H
#define KORVEX_MAPFILEREADER_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AlignmentLine.h"
#include "Cigar.h"
#include "LineSource.h"
#include "MismatchTag.h"
#include "ParsedLineFeed.h"
#include "Read.h"
#include "RejectReason.h"

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
    // source yields the file's lines; sFileName names the file in messages. With iThreads above
    // one, the lines are read ahead and parsed on up to that many threads (this one included); what
    // the reader gives, warns of and throws is the same for every number (and block size).
    MapFileReader(LineSource& source, std::string sFileName, int iThreads = 1,
                  std::size_t iBlockBytes = PARSED_BLOCK_BYTES);

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
    std::string_view Field(int i) const { return fields.Field(i); }
    bool NeedsSequenceFromAnotherLine() const;
    int MateOfSplitLine() const;
    const SequenceDonor* FindDonor() const;
    void RememberSequenceDonor();
    void RememberReadLength();
    bool HoldUntilSequenceKnown(const LineView& line, int iLineNumber);
    void ReleaseWaitingLines();
    bool ProcessAlignmentLine(int iLineNumber, Read& read, int& rejectedCount, const ParsedLine* pParsed);
    bool TakeSequenceAndQuality(long long iFlag, std::string_view& sequence, std::string_view& quality);
    void WarnOfMismatchTag(int iLineNumber);
    void TakeMismatches(Read& read, const int* pMdOffsets, int iMdOffsetCount, const CigarShape& cigar);
    bool Reject(RejectReason reason, int iLineNumber, int& rejectedCount);
    [[noreturn]] void Refuse(int iLineNumber, const std::string& sProblem, const std::string& sRemedy) const;

    LineSource& source;
    std::unique_ptr<ParsedLineFeed> pFeed;  // with more than one thread: the lines, parsed ahead
    ParsedLine* pParsedLine = nullptr;      // the line the feed gave last
    std::string fileName;
    int currentLineNumber;

    SamFields fields;          // of the current line
    AlignmentVerdict verdict;  // of the current line
    bool bSawAlignment;
    bool bSawMismatchTag;

    // For each mate (0 for single-end reads): of the newest read and of the read before it. The
    // donors: always, since the lines of the read before may still come. The lengths: when a
    // line of the newest read came while lines of the read before waited, whose lines are then
    // processed after it.
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
