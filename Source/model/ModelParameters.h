#ifndef KORVEX_MODELPARAMETERS_H
#define KORVEX_MODELPARAMETERS_H

// The numbers the model computes with, fixed for a run: built once from the settings, and
// handed to the evidence search, the scorer and the sampler. The number of alignments and the
// read length are each multiread's own.
struct ModelParameters {
    int iFlankingValue;        // how far the window of unique reads reaches beyond an alignment, each side
    double dPolymorphismRate;  // prior rate of true variants
    int iTotalIterations;      // of each MCMC chain
    int iBurninIterations;     // iterations of each chain before the posterior is summed
};

#endif
