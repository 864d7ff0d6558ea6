#ifndef KORVEX_MODELPARAMETERS_H
#define KORVEX_MODELPARAMETERS_H

// The numbers the model computes with, fixed for a run: built once from the settings and the
// read length, and handed to the evidence search, the scorer and the sampler.
struct ModelParameters {
    int iReadLength;           // bases of every read
    int iFlankingValue;        // how far the window of unique reads reaches beyond an alignment, each side
    double dPolymorphismRate;  // prior rate of true variants
    int iTotalIterations;      // of each MCMC chain
    int iBurninIterations;     // iterations of each chain before the posterior is summed
};

#endif
