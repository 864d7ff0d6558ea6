#ifndef KORVEX_TAGGEDWRITER_H
#define KORVEX_TAGGEDWRITER_H

#include "ContentChecksum.h"
#include "LineValues.h"
#include "OutputTarget.h"
#include "SecondReading.h"

class InputFile;
struct InputOptions;

// SAM, BAM or CRAM output: the input header plus this program's @PG line, then every record in
// input order, with ZP:f (posterior) and ZU:f (unique-read share), as the mode selects, on the
// records whose line has values. Written atomically after the checks of the second reading;
// returns its checksum.
ContentChecksum WriteTagged(const InputFile& input, const InputOptions& inOptions, const OutputTarget& output,
                            LineValueSource& values, const EarlierReading& earlier);

#endif
