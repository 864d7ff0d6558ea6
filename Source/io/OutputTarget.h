#ifndef KORVEX_OUTPUTTARGET_H
#define KORVEX_OUTPUTTARGET_H

#include <string>

#include "Formats.h"

class InputFile;

// What a run writes and where: the format, the final path, which values the lines carry, the
// reference for CRAM output (empty: found through the header), the threads that may compress,
// and the command line recorded in the @PG header line of tagged output.
struct OutputTarget {
    OutputFormat format;
    std::string sPath;
    ProbMode mode;
    std::string sReference;
    int iThreads;
    std::string sCommandLine;
};

// "SAMPLUS", "SAM", "BAM" or "CRAM", as OUTPUT_FORMAT and the manifests of the parts name it.
const char* FormatName(OutputFormat format);

// SAMPLUS for SAM text, plain or compressed; BAM for BAM and CRAM.
OutputFormat DefaultOutputFormat(InputFormat format);

// The output's name beside the input. SAMPLUS: the input's name with "+" appended, after a
// compression extension (.gz, .bgz, .bgzf) is removed (reads.sam and reads.sam.gz give
// reads.sam+). SAM, BAM, CRAM: the compression extension and then a .sam, .bam or .cram
// extension are removed and ".korvex.sam", ".korvex.bam" or ".korvex.cram" appended
// (reads.bam gives reads.korvex.bam, reads.sam.gz gives reads.korvex.sam, reads gives
// reads.korvex.bam). Standard input ("-") gives "stdin.sam+", "stdin.korvex.bam", ... in the
// working directory.
std::string DefaultOutputPath(const InputFile& input, OutputFormat format);

#endif
