#ifndef KORVEX_MULTIREADSCORER_H
#define KORVEX_MULTIREADSCORER_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Evidence.h"
#include "Formats.h"
#include "MC2.h"
#include "ModelParameters.h"
#include "Read.h"

// Scores multireads one at a time: the window counts and evidence of each alignment, the
// posterior when the mode asks for it, the proportional estimates, the call_record lines and the
// stored probabilities. A pair read is scored like any multiread, its pair alignments of
// L = L1 + L2 read positions as its N alignments. Each multiread has its own N and L;
// the working data grows to the largest N and L seen and is reused, so scoring allocates
// nothing once warm. One per thread: it is touched only by the thread that owns it.
class MultiReadScorer {
public:
    MultiReadScorer(const ModelParameters& model, ProbMode mode);
    ~MultiReadScorer();
    MultiReadScorer(const MultiReadScorer&) = delete;
    MultiReadScorer& operator=(const MultiReadScorer&) = delete;

    // Scores m against the unique reads of evidence and the
    // error score of each quality character, appends one call_record line per alignment to
    // sCallRecords and stores the probabilities in its Reads; returns the sampler's seconds.
    double Score(MultiRead& m, const EvidenceIndex& evidence, const std::map<char, double>& errorScores,
                 std::string& sCallRecords);

private:
    struct Scratch;

    ProbMode mode;
    int iIterations;  // rows of the chain the sampler writes; 0 when it does not run
    std::unique_ptr<Scratch> pScratch;  // owned
    MCMCcalculator sampler;
};

#endif
