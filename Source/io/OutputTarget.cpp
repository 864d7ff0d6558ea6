#include "OutputTarget.h"

#include "InputFile.h"
#include "PathNames.h"

const char* FormatName(OutputFormat format) {
    switch (format) {
        case OutputFormat::Samplus: return "SAMPLUS";
        case OutputFormat::Sam: return "SAM";
        case OutputFormat::Bam: return "BAM";
        case OutputFormat::Cram: return "CRAM";
    }
    return "";
}

OutputFormat DefaultOutputFormat(InputFormat format) {
    return format == InputFormat::Sam || format == InputFormat::CompressedSam ? OutputFormat::Samplus
                                                                                : OutputFormat::Bam;
}

std::string DefaultOutputPath(const InputFile& input, OutputFormat format) {
    std::string sBase = input.IsStandardInput() ? "stdin.sam" : WithoutExtension(input.Name(), {".gz", ".bgz", ".bgzf"});
    if (format == OutputFormat::Samplus) return sBase + "+";
    sBase = WithoutExtension(sBase, {".sam", ".bam", ".cram"});
    const char* pExtension = format == OutputFormat::Sam ? ".korvex.sam" : format == OutputFormat::Bam ? ".korvex.bam"
                                                                                                      : ".korvex.cram";
    return sBase + pExtension;
}
