#ifndef KORVEX_SAMPLUSWRITER_H
#define KORVEX_SAMPLUSWRITER_H

#include "ContentChecksum.h"
#include "LineValues.h"
#include "OutputTarget.h"
#include "SecondReading.h"

class InputFile;
struct InputOptions;

// The SAMplus file: every line of the input as it is, then a tab and one field per value column,
// each followed by a tab: the value as printf's %g writes it, or "NA" where the line has none.
// Written atomically after the checks of the second reading; returns its checksum.
ContentChecksum WriteSamplus(const InputFile& input, const InputOptions& inOptions, const OutputTarget& output,
                             LineValueSource& values, const EarlierReading& earlier);

#endif
