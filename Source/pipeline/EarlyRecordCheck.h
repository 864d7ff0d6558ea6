#ifndef KORVEX_EARLYRECORDCHECK_H
#define KORVEX_EARLYRECORDCHECK_H

#include <future>

#include "OutputTarget.h"

class InputFile;
struct InputOptions;

// Whether the tagged output will take every record of a SAM text input, checked while Step 1
// runs: a record it would refuse (not SAM, an unknown reference, a late header line) then ends
// the run before the work on the multireads rather than after it. SAMplus output takes any
// line, and BAM and CRAM input is read by htslib in Step 1 already; neither needs the check.
class EarlyRecordCheck {
public:
    // Starts the check on a thread of its own when the run has more than one (iThreads); on
    // one thread, checks now.
    EarlyRecordCheck(const InputFile& input, const InputOptions& options, OutputFormat format, int iThreads);
    // Waits for the check; throws its InputError.
    void Finish();

private:
    std::future<void> checked;  // valid while a check runs beside Step 1
};

#endif
