#ifndef KORVEX_STATSFILE_H
#define KORVEX_STATSFILE_H

#include <string>

#include "RunSummary.h"
#include "WallClock.h"

struct RunSettings;

// What the stats file says of the command that wrote it.
struct StatsOrigin {
    const char* pCommand;  // "run", "part" or "merge"
    std::string sInput;    // the input's name
    std::string sOutput;   // the file the command wrote: the output, or a part's own file
    double dWallSeconds;
    ResourceUsage resources;
};

// The stats file: one JSON object of the run's figures, its time and memory, the settings in force
// and the version, under the keys README.md documents. summary.figures must be complete.
std::string StatsJson(const RunSummary& summary, const RunSettings& settings, const StatsOrigin& origin);

#endif
