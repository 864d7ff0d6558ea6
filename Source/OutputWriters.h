#ifndef KORVEX_OUTPUTWRITERS_H
#define KORVEX_OUTPUTWRITERS_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Formats.h"
#include "InputFile.h"
#include "LineSource.h"
#include "LineSources.h"
#include "LineValues.h"

// What a run writes and where: the format, the final path, which values the lines carry, the
// reference for CRAM output (empty: found through the header), the threads that may compress,
// and the command line recorded in the @PG header line of tagged output.
struct OutputSpec {
    OutputFormat format;
    std::string sPath;
    ProbMode mode;
    std::string sReference;
    int iThreads;
    std::string sCommandLine;
};

// Number of values per line: 2 for ProbMode::Both, else 1.
int ValueColumns(ProbMode mode);

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

// What an earlier reading of the input found, which the output pass must find again: the
// number of lines and the content (see LineSource::Checksum; none when it is not known, as
// in the manifests of earlier builds). sReading names that reading in messages.
struct EarlierReading {
    EarlierReading(int64_t iLinesRead, const std::optional<ContentChecksum>& contentRead)
        : iLines(iLinesRead), content(contentRead) {}

    int64_t iLines;
    std::optional<ContentChecksum> content;
    std::string sReading = "its first reading";
    std::string sRemedy = "run again on a file that stays put";
};

// Reads the input a second time and writes the output atomically (see AtomicFile), every
// line or record in input order with the values of its line: SAMPLUS appends a tab and one
// field per value column, each followed by a tab ("NA" where the line has no value or the
// value is NaN); SAM, BAM and CRAM carry the input header plus a @PG line, and ZP:f (posterior)
// and ZU:f (unique-read share) on the records whose line has values. Before the output is put
// in place, the input must be unchanged, must have yielded the lines and the content of the
// earlier reading, and every value line must have been met. Returns the checksum of the file
// written. Throws InputError or OutputError naming the file; the final path then holds what
// it held before.
ContentChecksum WriteOutput(const InputFile& input, const InputOptions& inOptions, const OutputSpec& output,
                            LineValueSource& values, const EarlierReading& earlier);

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

// The values of one part of a divided run: one line per value line, "LINE\tV1[\tV2]\n", each
// value printed so that it reads back as the identical double ("NA" for NaN). Written
// atomically; returns its checksum; throws OutputError naming the file.
ContentChecksum WriteValuesFile(const std::string& sPath, LineValueSource& values, int iColumns);

// Reads a values file back as a value source. Throws InputError naming the file and line for
// a line that is malformed, has another number of values, or is not after the line before.
class ValuesFileReader : public LineValueSource {
public:
    ValuesFileReader(const std::string& sPath, int iColumns);
    ~ValuesFileReader() override;
    bool Next(int64_t& iLineNumber, double* pdValues) override;
    // The checksum of the file as far as it was read.
    const ContentChecksum& Checksum() const { return pLines->Checksum(); }

private:
    // Throws the InputError of the current line; an empty sWhy says what the line should hold.
    [[noreturn]] void Malformed(const std::string& sWhy) const;

    std::string sPath;
    int iColumns;
    std::unique_ptr<LineSource> pLines;  // owned
    int64_t iFileLine;                   // lines of the file read so far
    int64_t iPreviousLineNumber;
};

#endif
