#ifndef KORVEX_TESTS_LITERALSAMPLER_H
#define KORVEX_TESTS_LITERALSAMPLER_H

// A deliberately plain version of the random draws and of the MCMC sampler, written step by
// step with no precomputation, as the reference that the optimised code must match bit for
// bit. Used by the tests and by the benchmark.

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "KorvexCalc.h"
#include "SimpleRNG.h"

namespace literal {

inline double rgamma(SimpleRNG& rng, double a, double rate) {
    const double E = 2.718281828459045;
    int n = static_cast<int>(std::floor(a));
    double f = a - n;
    double x = 0.0;
    if (n > 5) {
        double am = n - 1;
        double s = std::sqrt(2 * am + 1);
        for (;;) {
            double d1 = rng.GetUniform();
            double d2 = 2 * rng.GetUniform() - 1;
            if (d1 * d1 + d2 * d2 > 1) continue;
            double y = d2 / d1;
            x = s * y + am;
            if (x <= 0) continue;
            double e = (1 + y * y) * std::exp(am * std::log(x / am) - s * y);
            if (rng.GetUniform() > e) continue;
            break;
        }
    } else if (n >= 1) {
        double product = 1.0;
        for (int i = 0; i < n; ++i) product = product * rng.GetUniform();
        x = -std::log(product);
    }
    double p = E / (f + E);
    double xi;
    for (;;) {
        double v0 = rng.GetUniform();
        double v1 = rng.GetUniform();
        double v2 = rng.GetUniform();
        double eta;
        double q;
        if (p >= v0) {
            xi = std::pow(v1, 1 / f);
            double t = std::pow(xi, f - 1);
            eta = v2 * t;
            q = t * std::exp(-xi);
        } else {
            xi = 1 - std::log(v1);
            double g = std::exp(-xi);
            eta = v2 * g;
            q = std::pow(xi, f - 1) * g;
        }
        if (!(eta > q)) break;
    }
    return (x + xi) / rate;
}

inline double rbeta(SimpleRNG& rng, double a, double b) {
    double g1 = rgamma(rng, a, 10.0);
    double g2 = rgamma(rng, b, 10.0);
    return g1 / (g1 + g2);
}

inline double Score(const std::map<char, double>& error_score, char c) {
    std::map<char, double>::const_iterator it = error_score.find(c);
    return it == error_score.end() ? 0.0 : it->second;
}

// The sampler, iteration by iteration. An iteration whose sum S is 0 or not finite uses the
// weights scaled by the largest finite log-likelihood, or adds nothing when none is finite.
inline void Run(int N, int L, int T, int B, double rate,
                const std::vector<std::vector<std::vector<MisMatchData>>>& evidence, bool** Z,
                const std::map<char, double>& error_score, double** draws, std::vector<double>& prob,
                const std::vector<std::string>& qualities, const std::vector<int>& counts) {
    SimpleRNG rng;
    std::vector<std::vector<double>> currDraw(N, std::vector<double>(L));
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
                        double e = Score(error_score, E[i].cQuality);
                        double p = (1 - e) * theta + e;
                        double u = rng.GetUniform();
                        if ((1 - e) * theta / p > u) y[i] = 1;
                    }
                    int sum = 0;
                    for (int i = 0; i < n; ++i) sum += y[i];
                    currDraw[j][k] = rbeta(rng, sum + rate, (n - m) + 1.0);
                }
                if (bPost) {
                    const std::string& q = qualities[j];
                    double e = k < static_cast<int>(q.size()) ? Score(error_score, q[k]) : 0.0;
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
}

}  // namespace literal

#endif
