#include "MC2.h"

MCMCcalculator::MCMCcalculator(int n, int l, int t, int b, double rate)
    : currDraw(nullptr), iCurrDrawRows(0), iCurrDrawCols(0), iNumAlignments(n), iSeqLength(l),
      iTotalIterations(t), iBurninIterations(b), dPolymorphismRate(rate) {}
MCMCcalculator::~MCMCcalculator() {}
void MCMCcalculator::CreateCurrDraw(int, int) {}
double MCMCcalculator::Run(const std::vector<std::vector<std::vector<MisMatchData>>>&, bool**,
                           std::map<char, double>&, double**, std::vector<double>&,
                           const std::vector<std::string>&, const std::vector<int>&) { return 0; }
