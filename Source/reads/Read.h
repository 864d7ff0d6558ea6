#ifndef KORVEX_READ_H
#define KORVEX_READ_H

#include <cstdint>
#include <vector>

// One mismatch of an alignment against the reference: a base of the MD:Z tag's, or a clipped base.
struct ReadMismatch {
    int16_t position;  // 0-based offset in the read (SEQ/QUAL orientation)
    char qualityChar;  // quality character at that offset

    ReadMismatch() : position(-1), qualityChar(' ') {}
    ReadMismatch(int16_t p, char c) : position(p), qualityChar(c) {}
};

// The longest read the model takes, in bases.
const int MAX_READ_LENGTH = 999;

// One alignment line of the SAM file, taken as the ungapped alignment of the whole read. A plain
// record: its texts and mismatches are held elsewhere (the collection's arenas, or the reader's
// buffers until its next line), so creating, copying or destroying a Read allocates and frees
// nothing.
struct Read {
    const char* readID = "";      // QNAME in full
    const char* chromosome = "";  // RNAME in full; equal names share one text
    const char* quality = "";     // QUAL in full; kept for the alignments of multireads only
    const ReadMismatch* pMismatches = nullptr;  // iMismatchCount entries, ascending position
    // Genome position of read position 0: POS less the bases clipped at the left end, so it may
    // lie below 1. Read position k lies at position + k.
    int position = 0;
    int lineNumber = 0;           // 1-based SAM line number
    int16_t iLength = 0;          // bases of the read, 1 to MAX_READ_LENGTH
    uint16_t iMismatchCount = 0;  // at most iLength
    char strand = '+';            // '+' or '-'
    // 0 for a single-end read, 1 or 2 for mate 1 or mate 2 of a pair (FLAG 0x1 with 0x40 or 0x80);
    // 1 for a pair alignment, which describes mate 1's line here and mate 2's after it.
    int8_t iMate = 0;
    double probability[2] = {0.0, 0.0};  // set by the pipeline driver and the per-job calculation

    int MismatchCount() const { return iMismatchCount; }
    const ReadMismatch& Mismatch(int i) const { return pMismatches[i]; }
    // Length of the quality text.
    int QualityLength() const;
    // The strand of the fragment the read comes from: mate 2 lies on the other strand than its
    // fragment, so its strand is turned; a single-end read and mate 1 give their own.
    char FragmentStrand() const { return iMate == 2 ? static_cast<char>('+' + '-' - strand) : strand; }
};

// The two lines a pair alignment joins: one of mate 1 and one of mate 2 of one read.
struct MateLines {
    Read* pFirst;
    Read* pSecond;
};

// The alignments kept for one read ID: iCount Reads side by side, in the order of their SAM
// lines. A plain record: the Reads live elsewhere (the collection's arena), so copying a
// MultiRead copies only the pointers. For a pair read each Read is a pair alignment: the read
// positions of mate 1 then those of mate 2 (L1 + L2 bases, their mismatches and qualities one
// after the other), and pJoins[j] names the two lines that alignment j joins.
struct MultiRead {
    Read* pReads = nullptr;
    int iCount = 0;
    const MateLines* pJoins = nullptr;  // iCount entries for a pair read; none for a single-end read

    int Size() const { return iCount; }
    bool IsPair() const { return pJoins != nullptr; }
    // Bases of the read; every alignment of a read has its length.
    int Length() const { return pReads[0].iLength; }
    Read& Reads(int i) { return pReads[i]; }
    const Read& Reads(int i) const { return pReads[i]; }
};

// The reads with one number N of kept alignments, each a MultiRead of N Reads. The container
// of N = 1 holds the unique reads.
typedef std::vector<MultiRead> MultiReadContainer;

#endif
