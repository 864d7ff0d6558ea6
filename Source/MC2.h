#ifndef KORVEX_MC2_H
#define KORVEX_MC2_H

#include <map>
#include <string>
#include <vector>

#include "KorvexCalc.h"

// The MCMC sampler: posterior probability of each alignment of one multiread.
// One object per job and thread; Run is called once per multiread.
class MCMCcalculator {
public:
    MCMCcalculator(int iNumAlignments, int iSeqLength, int iTotalIterations, int iBurninIterations,
                   double dPolymorphismRate);
    virtual ~MCMCcalculator();
    MCMCcalculator(const MCMCcalculator&) = delete;
    MCMCcalculator& operator=(const MCMCcalculator&) = delete;

    void CreateCurrDraw(int rows, int cols);
    // Adds the posterior of each alignment to prob; returns the wall-clock seconds taken.
    double Run(const std::vector<std::vector<std::vector<MisMatchData>>>& evidence, bool** Z,
               std::map<char, double>& error_score, double** draws, std::vector<double>& prob,
               const std::vector<std::string>& qualities, const std::vector<int>& counts);

private:
    void ReleaseCurrDraw();

    double** currDraw;  // owned; iCurrDrawRows rows of iCurrDrawCols values, null until first Run
    int iCurrDrawRows;
    int iCurrDrawCols;
    int iNumAlignments;
    int iSeqLength;
    int iTotalIterations;
    int iBurninIterations;
    double dPolymorphismRate;
};

#endif
