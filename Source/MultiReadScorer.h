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

// Scores the multireads of one container one at a time: the window counts and evidence of each
// alignment, the posterior when the mode asks for it, the proportional estimates, the
// call_record lines and the stored probabilities. Its working data is sized once for N
// alignments of the run's read length and reused, so scoring allocates nothing once warm.
// One per thread: it is touched only by the thread that owns it.
class MultiReadScorer {
public:
    MultiReadScorer(const ModelParameters& model, int iNumAlignments, ProbMode mode);
    ~MultiReadScorer();
    MultiReadScorer(const MultiReadScorer&) = delete;
    MultiReadScorer& operator=(const MultiReadScorer&) = delete;

    // Scores m against the unique reads of evidence and the
    // error score of each quality character, appends one call_record line per alignment to
    // sCallRecords and stores the probabilities in its Reads; returns the sampler's seconds.
    // Throws std::invalid_argument when m has another number of alignments than the scorer's.
    double Score(MultiRead& m, const EvidenceIndex& evidence, const std::map<char, double>& errorScores,
                 std::string& sCallRecords);

private:
    struct Scratch;

    ProbMode mode;
    std::unique_ptr<Scratch> pScratch;  // owned
    MCMCcalculator sampler;
};

#endif
