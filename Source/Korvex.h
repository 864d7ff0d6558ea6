#ifndef KORVEX_KORVEX_H
#define KORVEX_KORVEX_H

#include <ostream>
#include <string>

#include "Read.h"

struct RunSettings;
struct RunSummary;

extern const char* const PROGRAM_NAME;  // "KORVEX v2.0.0"

void usage(const char* programName, std::ostream& out);

void process2(int nparts, int part, std::string sMapFileName, int iNumThreads, double dPolymorphismRate,
              int iTotalIterations, int iBurninIterations, int maxMismatchesForTopHits,
              int extraMismatchesForAdditionalHits, int iFlankingValue, std::string probOutput,
              bool strandness);

// The whole run for the settings in force; fills what it can of the summary.
void RunPipeline(const RunSettings& settings, RunSummary& summary);

bool position_compare(const MultiRead* a, const MultiRead* b);

#endif
