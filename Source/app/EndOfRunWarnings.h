#ifndef KORVEX_ENDOFRUNWARNINGS_H
#define KORVEX_ENDOFRUNWARNINGS_H

#include <string>
#include <vector>

#include "RunSummary.h"

// What a run that ended well must still tell the user on standard error, one line each: that
// the aligner reported one alignment per read, and that most alignment lines were left out for
// one reason. Empty when neither is so, and after a run without a usable
// line, which explained itself.
std::vector<std::string> EndOfRunWarnings(const RunSummary& summary);

#endif
