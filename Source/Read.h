#ifndef KORVEX_READ_H
#define KORVEX_READ_H

#include <cstdint>
#include <vector>

// One mismatch of an alignment against the reference.
struct ReadMismatch {
    int16_t position;  // 0-based offset in the read (SEQ/QUAL orientation); -1 marks an empty entry
    char qualityChar;  // quality character at that offset; ' ' in an empty entry

    ReadMismatch() : position(-1), qualityChar(' ') {}
    ReadMismatch(int16_t p, char c) : position(p), qualityChar(c) {}
};

// One alignment line of the SAM file. A plain record: its texts are NUL-terminated and held
// elsewhere (the collection's arena, or the reader's line buffer until its next line), so
// creating, copying or destroying a Read allocates and frees nothing.
struct Read {
    const char* readID = "";      // QNAME in full
    const char* chromosome = "";  // RNAME in full; equal names share one text
    const char* quality = "";     // QUAL in full; kept for the alignments of multireads only
    int position = 0;             // POS, 1-based
    int lineNumber = 0;           // 1-based SAM line number
    char strand = '+';            // '+' or '-'
    ReadMismatch vMismatches[3];  // filled entries form a prefix, ascending position
    double probability[2] = {0.0, 0.0};  // set by the pipeline driver and the per-job calculation

    // Number of filled vMismatches entries (position >= 0), 0 to 3.
    int MismatchCount() const;
    // Length of the quality text.
    int QualityLength() const;
};

// The alignments kept for one read ID: iCount Reads side by side, in the order of their SAM
// lines. A plain record: the Reads live elsewhere (the collection's arena), so copying a
// MultiRead copies only the pointer.
struct MultiRead {
    Read* pReads = nullptr;
    int iCount = 0;

    int Size() const { return iCount; }
    Read& Reads(int i) { return pReads[i]; }
    const Read& Reads(int i) const { return pReads[i]; }
};

// The reads with one number N of kept alignments, each a MultiRead of N Reads. The container
// of N = 1 holds the unique reads.
typedef std::vector<MultiRead> MultiReadContainer;

#endif
