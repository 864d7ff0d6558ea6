// The run driver: entry point, run parameters, the two steps of the pipeline and
// the SAMplus output.
#include "Korvex.h"

#include <iostream>

const char* const PROGRAM_NAME = "KORVEX v2.0.0";

// ---- usage and main -------------------------------------------------------------

void usage(const char* programName, std::ostream& out) {
    (void)programName;
    (void)out;
}

// ---- process2: Step 1 -----------------------------------------------------------

void process2(int nparts, int part, std::string sMapFileName, int iNumThreads, double dPolymorphismRate,
              int iTotalIterations, int iBurninIterations, int maxMismatchesForTopHits,
              int extraMismatchesForAdditionalHits, int iFlankingValue, std::string probOutput,
              bool strandness) {
    (void)nparts; (void)part; (void)sMapFileName; (void)iNumThreads; (void)dPolymorphismRate;
    (void)iTotalIterations; (void)iBurninIterations; (void)maxMismatchesForTopHits;
    (void)extraMismatchesForAdditionalHits; (void)iFlankingValue; (void)probOutput; (void)strandness;
}

bool position_compare(const MultiRead* a, const MultiRead* b) {
    return a->Reads(0).position < b->Reads(0).position;
}

// ---- Step 2 and the SAMplus output ------------------------------------------------

bool OutputSAMplus(std::string sMapFileName, std::map<int, Read*>& LineNumberMap, int iNumProbColumns) {
    (void)sMapFileName; (void)LineNumberMap; (void)iNumProbColumns;
    return true;
}

// ---- entry point ------------------------------------------------------------------

#ifndef KORVEX_NO_MAIN
int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    return 0;
}
#endif
