#ifndef KORVEX_SUMMARYTEXT_H
#define KORVEX_SUMMARYTEXT_H

#include <string>

#include "RunSummary.h"

// The peak resident memory of the process so far, in kibibytes.
long PeakMemoryKibibytes();

// The short end-of-run summary, several lines each ending with a line end.
std::string FormatRunSummary(const RunSummary& summary, long iPeakKibibytes);

#endif
