#ifndef KORVEX_SAMPLUSOUTPUT_H
#define KORVEX_SAMPLUSOUTPUT_H

#include <string>

#include "MultiReadCollectionMgr.h"

// Writes sMapFileName + "+": every line of the SAM file, then a tab and iNumProbColumns
// fields each followed by a tab (the Read's values, or "NA"). False, after a log line,
// when the SAM file cannot be read or the output cannot be written completely.
bool OutputSAMplus(std::string sMapFileName, const LineIndex& LineNumberMap, int iNumProbColumns);

#endif
