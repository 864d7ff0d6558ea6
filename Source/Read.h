#ifndef KORVEX_READ_H
#define KORVEX_READ_H

#include <cstdint>

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

// The alignments kept for one read ID; always a MultiRead_t<N>.
class MultiRead {
public:
    virtual ~MultiRead();
    virtual Read& Reads(int i);
    virtual const Read& Reads(int i) const;
    virtual int Size() const;
};

// Throws the index error of MultiRead_t<N>::Reads.
[[noreturn]] void ThrowReadIndexError(int i, int size);

template <int N>
class MultiRead_t : public MultiRead {
    static_assert(N >= 1 && N <= 5, "a multiread holds one to five alignments");

public:
    Read& Reads(int i) override {
        if (i < 0 || i >= N) ThrowReadIndexError(i, N);
        return reads[i];
    }
    const Read& Reads(int i) const override {
        if (i < 0 || i >= N) ThrowReadIndexError(i, N);
        return reads[i];
    }
    int Size() const override { return N; }

private:
    Read reads[N];  // in the order of their SAM lines
};

extern template class MultiRead_t<1>;
extern template class MultiRead_t<2>;
extern template class MultiRead_t<3>;
extern template class MultiRead_t<4>;
extern template class MultiRead_t<5>;

#endif
