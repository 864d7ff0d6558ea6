#include "EarlyRecordCheck.h"

#include "InputFile.h"
#include "LineSources.h"
#include "SamTextRecords.h"

EarlyRecordCheck::EarlyRecordCheck(const InputFile& input, const InputOptions& options, OutputFormat format,
                                   int iThreads) {
    if (format == OutputFormat::Samplus || input.Format() == InputFormat::Bam || input.Format() == InputFormat::Cram)
        return;
    if (iThreads <= 1) {
        CheckRecordsForTaggedOutput(input, options);
        return;
    }
    InputOptions oneThread = options;
    oneThread.iThreads = 1;
    checked = std::async(std::launch::async, [&input, oneThread] { CheckRecordsForTaggedOutput(input, oneThread); });
}

void EarlyRecordCheck::Finish() {
    if (checked.valid()) checked.get();
}
