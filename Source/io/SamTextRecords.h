#ifndef KORVEX_SAMTEXTRECORDS_H
#define KORVEX_SAMTEXTRECORDS_H

#include <htslib/kstring.h>
#include <htslib/sam.h>

#include <cstdint>
#include <memory>
#include <string>

#include "ContentChecksum.h"
#include "LineSource.h"

class InputFile;
struct InputOptions;

// The records of a SAM text input, parsed by htslib one by one, with the checks that a tagged
// copy of them needs: every record must be readable as SAM and name only references of the
// header, and no header line may follow the first record. Throws InputError, naming the file
// and the line, at the first record that fails.
class SamTextRecords {
public:
    SamTextRecords(const InputFile& input, const InputOptions& options);
    ~SamTextRecords();
    SamTextRecords(const SamTextRecords&) = delete;
    SamTextRecords& operator=(const SamTextRecords&) = delete;

    // The next record into pRecord, and its line number; false after the last. The header is
    // parsed before the first record is returned, or at the end of a file without records.
    bool Next(bam1_t* pRecord, int64_t& iLine);
    // The header, once parsed (null before); owned here.
    sam_hdr_t* Header() const { return pHeader; }
    int64_t LinesRead() const { return iLinesRead; }
    ContentChecksum Checksum() const { return pLines->Checksum(); }

private:
    void ParseHeader();
    std::string Where(int64_t iLine) const;

    const InputFile& input;
    std::unique_ptr<LineSource> pLines;
    std::string sHeaderText;
    sam_hdr_t* pHeader = nullptr;
    kstring_t text = KS_INITIALIZE;  // the current record line, NUL-terminated for the parser
    int64_t iLinesRead = 0;
};

// Reads a SAM text input whole with the checks above, so that a run whose tagged output could
// not take a record fails at once rather than after the work. BAM and CRAM input is read by
// htslib from the start and needs no such pass.
void CheckRecordsForTaggedOutput(const InputFile& input, const InputOptions& options);

#endif
