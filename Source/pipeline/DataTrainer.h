#ifndef KORVEX_DATATRAINER_H
#define KORVEX_DATATRAINER_H

#include <map>
#include <string>
#include <vector>

#include "Evidence.h"
#include "Formats.h"
#include "ModelParameters.h"
#include "Read.h"

class StepProgress;

// Runs the calculation of one container on OpenMP worker threads: this part's slice is cut into
// at most iNumThreads jobs, the jobs into chunks that the threads take as they come free, and the
// call_record lines are written to the container's merged file in container order.
class DataTrainer {
public:
    ModelParameters model;
    ProbMode probMode;
    int iNumParts;
    int iPartToRun;
    int iNumThreads;
    std::string sCallRecordDirectory;  // where the merged call_record files go; empty: the working directory
    StepProgress* pProgress = nullptr;  // told of every chunk done, from any thread; not owned

    // Scores this part's slice of multiReads (a container: all have the same number of
    // alignments) against the unique reads of evidence and the error scores.
    void trainData(MultiReadContainer& multiReads, const EvidenceIndex& evidence,
                   const std::map<char, double>& errorScores);
};

#endif
