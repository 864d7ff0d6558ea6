#ifndef KORVEX_DATATRAINER_H
#define KORVEX_DATATRAINER_H

#include <map>
#include <string>
#include <vector>

#include "Read.h"

class Progress;

// Runs the calculation of one container on OpenMP worker threads: this part's slice is cut into
// at most iNumThreads jobs, the jobs into chunks that the threads take as they come free, and the
// call_record lines are written to the container's merged file in container order.
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
    std::string sCallRecordDirectory;  // where the merged call_record files go; empty: the working directory
    Progress* pProgress = nullptr;     // told of every chunk done, from any thread; not owned

    void trainData(std::vector<MultiRead*>& uniqueReads, std::vector<MultiRead*>& multiReads,
                   std::map<char, double>& error_score, std::vector<int>& uniquePositions,
                   std::string probOutput, bool strandness);
};

#endif
