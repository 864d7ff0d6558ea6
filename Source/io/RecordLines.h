#ifndef KORVEX_RECORDLINES_H
#define KORVEX_RECORDLINES_H

#include <htslib/sam.h>

#include <cstdint>
#include <memory>

#include "LineSource.h"

class InputFile;
struct InputOptions;

// The line numbers of an input's records, one by one, as the tagged output numbers them:
// after the header lines of a BAM or CRAM file, every record a line; in SAM text, every line
// that is neither empty (but for blanks) nor a header line.
class RecordLines {
public:
    RecordLines(const InputFile& input, const InputOptions& options);
    ~RecordLines();
    // The line of the next record; false after the last.
    bool Next(int64_t& iLine);

private:
    std::unique_ptr<LineSource> pLines;  // SAM text only; owned
    int64_t iLine;                       // lines read (text), or the line of the last record (BAM, CRAM)
};

// The part of a SAM text line that the record parser reads: without spaces and tabs around it
// (and without the carriage return of a CR LF line end).
LineView RecordText(LineView line);

// Number of lines of a header text, as the line sources hand them out.
int64_t CountHeaderLines(sam_hdr_t* pHeader);

#endif
