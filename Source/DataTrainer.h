#ifndef KORVEX_DATATRAINER_H
#define KORVEX_DATATRAINER_H

#include <map>
#include <string>
#include <vector>

#include "Read.h"

// Runs the calculation of one container on OpenMP worker threads.
class DataTrainer {
public:
    int iSeqLength;
    int iFlankingValue;
    double dPolymorphismRate;
    int iTotalIterations;
    int iBurninIterations;
    int iNumParts;
    int iPartToRun;
    int iNumThreads;

    void trainData(std::vector<MultiRead*>& uniqueReads, std::vector<MultiRead*>& multiReads,
                   std::map<char, double>& error_score, std::vector<int>& uniquePositions,
                   std::string probOutput, bool strandness);
};

#endif
