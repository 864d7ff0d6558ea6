#include "OutputWriters.h"

#include "InputFile.h"
#include "SamplusWriter.h"
#include "TaggedWriter.h"

ContentChecksum WriteOutput(const InputFile& input, const InputOptions& inOptions, const OutputTarget& output,
                            LineValueSource& values, const EarlierReading& earlier) {
    input.CheckUnchanged();
    if (output.format == OutputFormat::Samplus) return WriteSamplus(input, inOptions, output, values, earlier);
    return WriteTagged(input, inOptions, output, values, earlier);
}
