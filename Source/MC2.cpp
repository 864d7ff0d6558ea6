#include "MC2.h"

#include <cmath>

#include "DistSampler.h"
#include "utils.h"

namespace {
double ErrorScore(const std::map<char, double>& error_score, char c) {
    std::map<char, double>::const_iterator it = error_score.find(c);
    return it == error_score.end() ? 0.0 : it->second;
}
}  // namespace

MCMCcalculator::MCMCcalculator(int iNumAlignments_, int iSeqLength_, int iTotalIterations_,
                               int iBurninIterations_, double dPolymorphismRate_)
    : currDraw(nullptr), iCurrDrawRows(0), iCurrDrawCols(0), iNumAlignments(iNumAlignments_),
      iSeqLength(iSeqLength_), iTotalIterations(iTotalIterations_), iBurninIterations(iBurninIterations_),
      dPolymorphismRate(dPolymorphismRate_) {}

MCMCcalculator::~MCMCcalculator() { ReleaseCurrDraw(); }

void MCMCcalculator::ReleaseCurrDraw() {
    if (currDraw == nullptr) return;
    for (int i = 0; i < iCurrDrawRows; ++i) delete[] currDraw[i];
    delete[] currDraw;
    currDraw = nullptr;
    iCurrDrawRows = 0;
    iCurrDrawCols = 0;
}

void MCMCcalculator::CreateCurrDraw(int rows, int cols) {
    ReleaseCurrDraw();
    iCurrDrawRows = rows;
    iCurrDrawCols = cols;
    currDraw = new double*[rows];
    for (int i = 0; i < rows; ++i) currDraw[i] = new double[cols];
}

double MCMCcalculator::Run(const std::vector<std::vector<std::vector<MisMatchData>>>& evidence, bool** Z,
                           std::map<char, double>& error_score, double** draws, std::vector<double>& prob,
                           const std::vector<std::string>& qualities, const std::vector<int>& counts) {
    double dStart = WallClockSeconds();
    const int N = iNumAlignments;
    const int L = iSeqLength;
    const int T = iTotalIterations;
    const int B = iBurninIterations;
    DistSampler sampler;
    if (currDraw == nullptr) CreateCurrDraw(N, L);
    std::vector<double> weight(N, 0.0);
    std::vector<double> prior(N, 0.0);
    std::vector<double> loglik(N, 0.0);
    for (int t = 1; t < T; ++t) {
        bool bPost = t > B - 2;
        double S = 0;
        for (int j = 0; j < N; ++j) {
            weight[j] = 0;
            prior[j] = 0.1 + counts[j];
            loglik[j] = 0;
            for (int k = 0; k < L; ++k) {
                double theta = draws[t - 1][j * L + k];
                currDraw[j][k] = theta;
                const std::vector<MisMatchData>& E = evidence[j][k];
                int n = static_cast<int>(E.size());
                if (n > 0) {
                    std::vector<int> y(n, 0);
                    std::vector<int> I;
                    for (int i = 0; i < n; ++i)
                        if (E[i].bMisMatch) I.push_back(i);
                    int m = static_cast<int>(I.size());
                    for (int i : I) {
                        double e = ErrorScore(error_score, E[i].cQuality);
                        double p = (1 - e) * theta + e;
                        double u = sampler.runif();
                        if ((1 - e) * theta / p > u) y[i] = 1;
                    }
                    int sum = 0;
                    for (int i = 0; i < n; ++i) sum += y[i];
                    currDraw[j][k] = sampler.rbeta(sum + dPolymorphismRate, (n - m) + 1.0);
                }
                if (bPost) {
                    const std::string& q = qualities[j];
                    double e = k < static_cast<int>(q.size()) ? ErrorScore(error_score, q[k]) : 0.0;
                    double x = (1 - e) * currDraw[j][k] + e;
                    if (Z[j][k])
                        loglik[j] += std::log(x);
                    else
                        loglik[j] += std::log(1 - x);
                }
            }
            if (bPost) {
                weight[j] = std::exp(loglik[j]);
                S = S + weight[j] * prior[j];
            }
        }
        for (int j = 0; j < N; ++j)
            for (int k = 0; k < L; ++k) draws[t][j * L + k] = currDraw[j][k];
        if (!bPost) continue;
        if (!(S > 0) || !std::isfinite(S)) {
            bool bAny = false;
            double dMax = 0;
            for (int j = 0; j < N; ++j) {
                if (!std::isfinite(loglik[j])) continue;
                if (!bAny || loglik[j] > dMax) dMax = loglik[j];
                bAny = true;
            }
            if (!bAny) continue;
            S = 0;
            for (int j = 0; j < N; ++j) {
                weight[j] = std::isfinite(loglik[j]) ? std::exp(loglik[j] - dMax) : 0.0;
                S = S + weight[j] * prior[j];
            }
        }
        for (int j = 0; j < N; ++j) prob[j] = prob[j] + weight[j] * prior[j] / S;
    }
    if (T + 1 - B > 0)
        for (int j = 0; j < N; ++j) prob[j] = prob[j] / (T + 1 - B);
    return WallClockSeconds() - dStart;
}
