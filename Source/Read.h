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

// One alignment line of the SAM file, in a fixed-size record that owns no heap memory.
class Read {
public:
    char readID[41];      // QNAME, at most 40 characters, NUL-terminated
    char chromosome[10];  // RNAME, at most 9 characters, NUL-terminated
    int position;         // POS, 1-based
    int lineNumber;       // 1-based SAM line number; key of LineNumberMap
    char quality[121];    // QUAL, first 121 characters, NUL-filled when shorter
    char strand;          // '+' or '-'
    ReadMismatch vMismatches[3];  // filled entries form a prefix, ascending position
    double probability[2];        // set by the pipeline driver and the per-job calculation

    Read();  // empty texts, no mismatches, zero numbers
    Read(const Read& other);
    Read& operator=(const Read& other);
    virtual ~Read();

    // Number of filled vMismatches entries (position >= 0), 0 to 3.
    int MismatchCount() const;
    // Length of the stored quality text, never more than the 121-byte field.
    int QualityLength() const;
};

// The alignments kept for one read ID; always a MultiRead_t<N>.
class MultiRead {
public:
    virtual ~MultiRead();
    virtual void DeleteProfiles();
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
