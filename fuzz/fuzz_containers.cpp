// Fuzz target: the input containers. The input is the bytes of a file (SAM text, gzip or BGZF
// text, BAM); it is recognised by InputFile, read to its end by OpenLineSource, and a BAM file is
// read a second time record by record as the output does. A refusal (InputError) is a normal
// outcome; both readings must agree, and neither may hang. CRAM bytes are left out: htslib's CRAM
// decoder overflows a heap buffer on some damaged slices, which corrupts the process whatever
// reads it, and would stop every run of this target on a fault that is not ours.
#include <htslib/hts.h>
#include <htslib/sam.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "InputFile.h"
#include "LineSources.h"

namespace {

std::string InputPath() { return FuzzWorkFile("input"); }

// Every line of the input; -1 when it is refused.
int64_t CountLines(const InputFile& input, const InputOptions& options) {
    try {
        std::unique_ptr<LineSource> pLines = OpenLineSource(input, options);
        int64_t iLines = 0;
        for (LineView line; pLines->NextLine(line); ++iLines) FUZZ_CHECK(line.pData != nullptr);
        return iLines;
    } catch (const InputError&) {
        return -1;
    }
}

// The lines of the header's text, as the line sources hand them out.
int64_t HeaderLines(sam_hdr_t* pHeader) {
    const char* pText = sam_hdr_str(pHeader);
    const std::size_t iLength = pText == nullptr ? 0 : sam_hdr_length(pHeader);
    int64_t iLines = 0;
    for (std::size_t i = 0; i < iLength; ++i) iLines += pText[i] == '\n';
    return iLines + (iLength > 0 && pText[iLength - 1] != '\n');
}

// The header's lines and the records of a BAM or CRAM file, read as the output reads them; -1
// when it is refused.
int64_t CountHeaderAndRecords(const InputFile& input, const InputOptions& options) {
    bam1_t* pRecord = bam_init1();
    int64_t iLines = -1;
    try {
        HtsRecordReader reader(input, options);
        while (reader.Next(pRecord)) {
        }
        iLines = HeaderLines(reader.Header()) + reader.RecordsRead();
    } catch (const InputError&) {
    }
    bam_destroy1(pRecord);
    return iLines;
}

}  // namespace

// htslib's BGZF reader thread leaves a few bytes unfreed when it meets some damaged blocks, in
// allocations of its own that the code under test cannot free. What the code under test leaks
// of htslib's objects is caught by the sanitizer build of the tests.
extern "C" const char* __lsan_default_suppressions() { return "leak:libhts.so\n"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceKorvexOutput();
    hts_set_log_level(HTS_LOG_OFF);
    const char* acDir = MakeFuzzWorkDir("containers", {"input"}).c_str();
    // A CRAM file's reference is looked for in this empty directory alone, never elsewhere.
    setenv("REF_PATH", acDir, 1);
    setenv("REF_CACHE", acDir, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t iSize) {
    if (iSize >= 4 && std::memcmp(pData, "CRAM", 4) == 0) return 0;
    WriteFuzzInput(InputPath(), pData, iSize);
    // Threads for inputs of odd size: the threaded decoders have their own ways to fail.
    const InputOptions options{"", iSize % 2 == 1 ? 2 : 1};
    try {
        InputFile input(InputPath());
        const int64_t iLines = CountLines(input, options);
        if (input.Format() != InputFormat::Bam && input.Format() != InputFormat::Cram) return 0;
        const int64_t iAgain = CountHeaderAndRecords(input, options);
        FuzzContext() = "lines " + std::to_string(iLines) + ", read again " + std::to_string(iAgain);
        FUZZ_CHECK(iLines == iAgain);
    } catch (const InputError&) {
    }
    return 0;
}
