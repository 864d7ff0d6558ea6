#ifndef KORVEX_LINESOURCES_H
#define KORVEX_LINESOURCES_H

#include <cstdint>
#include <memory>
#include <string>

#include <htslib/sam.h>

#include "InputFile.h"
#include "LineSource.h"

// How an input is decoded: the reference FASTA of a CRAM file (empty: found through the
// CRAM header), and the number of threads that may decompress (1: none besides the caller).
struct InputOptions {
    std::string sReference;
    int iThreads = 1;
};

// The lines of an input whatever its container: a plain SAM file as it is (read in large
// blocks), compressed SAM text decompressed byte for byte, and of a BAM or CRAM file first its
// header text line by line and then one SAM text line per record. The same records therefore
// come with the same line numbers from every container. Throws InputError naming the file.
std::unique_ptr<LineSource> OpenLineSource(const InputFile& input, const InputOptions& options);

// The header and then the records of a BAM or CRAM file, decoded by htslib. Throws InputError
// naming the file when it cannot be opened or decoded, or when it is cut short.
class HtsRecordReader {
public:
    HtsRecordReader(const InputFile& input, const InputOptions& options);
    ~HtsRecordReader();
    HtsRecordReader(const HtsRecordReader&) = delete;
    HtsRecordReader& operator=(const HtsRecordReader&) = delete;

    sam_hdr_t* Header() const { return pHeader; }
    // Reads the next record into pRecord; false at the end of the file.
    bool Next(bam1_t* pRecord);
    int64_t RecordsRead() const { return iRecords; }
    // The checksum of the header text and of every record read so far (its fixed fields and its
    // data, as decoded).
    const ContentChecksum& Checksum() const { return content; }

private:
    bool ReachedTheEnd() const;

    std::string sName;
    bool bCram;
    bool bBam;
    off_t iFileSize;
    htsFile* pFile;      // owned; closed by the destructor
    sam_hdr_t* pHeader;  // owned; destroyed by the destructor
    int64_t iRecords;
    ContentChecksum content;
};

#endif
