#ifndef KORVEX_OUTPUTWRITERS_H
#define KORVEX_OUTPUTWRITERS_H

#include "ContentChecksum.h"
#include "LineValues.h"
#include "OutputTarget.h"
#include "SecondReading.h"

class InputFile;
struct InputOptions;

// Reads the input a second time and writes the output atomically (see AtomicFile), every
// line or record in input order with the values of its line: SAMPLUS appends a tab and one
// field per value column, each followed by a tab ("NA" where the line has no value or the
// value is NaN); SAM, BAM and CRAM carry the input header plus a @PG line, and ZP:f (posterior)
// and ZU:f (unique-read share) on the records whose line has values. Before the output is put
// in place, the input must be unchanged, must have yielded the lines and the content of the
// earlier reading, and every value line must have been met. Returns the checksum of the file
// written. Throws InputError or OutputError naming the file; the final path then holds what
// it held before.
ContentChecksum WriteOutput(const InputFile& input, const InputOptions& inOptions, const OutputTarget& output,
                            LineValueSource& values, const EarlierReading& earlier);

#endif
