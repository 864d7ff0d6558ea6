// Fuzz target: the tagged output of a SAM text input. The input is the text of a SAM file; its
// records are checked as a tagged run checks them beside Step 1, and then written as BAM with
// values on every other line the reader accepts, as the output writes them. A refusal
// (InputError) is a normal outcome, but the check and the writer must agree: a file the check
// passes must be written (else a run would fail only after all its work), and one it refuses
// must not be.
#include <htslib/hts.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "FuzzSupport.h"
#include "InputFile.h"
#include "LineSources.h"
#include "MapFileReader.h"
#include "MapValueSource.h"
#include "OutputWriters.h"
#include "SamTextRecords.h"

namespace {

std::string InputPath() { return FuzzWorkFile("input.sam"); }
std::string OutputPath() { return FuzzWorkFile("output.bam"); }

// The lines as the line source hands them out, and values for every other line that the reader
// accepts as an alignment (a run gives values to no other line); false when the input is not
// SAM text or is refused.
bool ReadLines(const InputFile& input, int64_t& iLines, ValueMap& values) {
    if (input.Format() != InputFormat::Sam) return false;
    try {
        std::unique_ptr<LineSource> pLines = OpenLineSource(input, InputOptions{});
        MapFileReader reader(*pLines, input.Name());
        Read read;
        int iRejected = 0;
        for (int iAccepted = 0; reader.Read_a_Line(read, iRejected); ++iAccepted)
            if (iAccepted % 2 == 0) values[read.lineNumber] = {0.25, static_cast<double>(iAccepted % 3) / 2.0};
        iLines = reader.LinesRead();
    } catch (const InputError&) {
        return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceKorvexOutput();
    hts_set_log_level(HTS_LOG_OFF);
    MakeFuzzWorkDir("tagged", {"input.sam", "output.bam"});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t iSize) {
    WriteFuzzInput(InputPath(), pData, iSize);
    std::remove(OutputPath().c_str());
    try {
        InputFile input(InputPath());
        int64_t iLines = 0;
        ValueMap lineValues;
        if (!ReadLines(input, iLines, lineValues)) return 0;
        MapValueSource values(std::move(lineValues));
        bool bChecked = true;
        std::string sCheck = "passed";
        try {
            CheckRecordsForTaggedOutput(input, InputOptions{});
        } catch (const InputError& error) {
            bChecked = false;
            sCheck = error.what();
        }
        bool bWritten = true;
        std::string sWrite = "written";
        try {
            const OutputTarget output{OutputFormat::Bam, OutputPath(), ProbMode::Both, "", 1, ""};
            WriteOutput(input, InputOptions{}, output, values, EarlierReading(iLines, std::nullopt));
        } catch (const InputError& error) {
            bWritten = false;
            sWrite = error.what();
        }
        FuzzContext() = "check: " + sCheck + "\nwrite: " + sWrite;
        FUZZ_CHECK(bChecked == bWritten);
        FUZZ_CHECK(bWritten == (access(OutputPath().c_str(), F_OK) == 0));
    } catch (const InputError&) {
    }
    return 0;
}
