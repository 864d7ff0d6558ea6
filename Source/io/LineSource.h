#ifndef KORVEX_LINESOURCE_H
#define KORVEX_LINESOURCE_H

#include <cstddef>
#include <stdexcept>
#include <string>

#include "ContentChecksum.h"

// A failure to read or decode an input file; the message names the file and the reason.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How messages name the input of a run, whatever its container: "the SAM file (NAME)".
inline std::string DescribeSamFile(const std::string& sName) { return "the SAM file (" + sName + ")"; }

// One line of input text without its line end. The text may be changed in place, and so may
// the one byte after it (the line end, or a spare byte); it stays valid until the next call of
// NextLine.
struct LineView {
    char* pData;
    std::size_t iLength;
};

// Yields the lines of an input one by one, whatever the container: plain text, compressed
// text, or the header lines and then the records, formatted as SAM text, of a BAM or CRAM file.
class LineSource {
public:
    virtual ~LineSource() = default;
    // The next line; false at the end of the input. Throws InputError when reading fails.
    virtual bool NextLine(LineView& line) = 0;
    // The checksum of the content read so far: the text of a SAM file (decompressed when it is
    // compressed), or the header text and the records of a BAM or CRAM file. Two readings of an
    // unchanged file give the same.
    virtual const ContentChecksum& Checksum() const = 0;
};

#endif
