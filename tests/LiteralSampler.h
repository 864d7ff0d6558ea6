#pragma once

// The random draws and the MCMC sampler step by step, with nothing precomputed: the reference
// that the optimised code must match bit for bit (used by the tests and the benchmark).

#include <cmath>

#include "Evidence.h"
#include "SimpleRNG.h"

namespace literal {

inline double rgamma(SimpleRNG& rng, double a, double rate) {
    int n = static_cast<int>(std::floor(a));
    double f = a - n, x = 0.0;
    if (n > 5) {
        double am = n - 1, s = std::sqrt(2 * am + 1);
        for (;;) {
            double d1 = rng.GetUniform(), d2 = 2 * rng.GetUniform() - 1;
            if (d1 * d1 + d2 * d2 > 1) continue;
            double y = d2 / d1;
            x = s * y + am;
            if (x <= 0) continue;
            double e = (1 + y * y) * std::exp(am * std::log(x / am) - s * y);
            if (!(rng.GetUniform() > e)) break;
        }
    } else if (n >= 1) {
        double product = 1.0;
        for (int i = 0; i < n; ++i) product = product * rng.GetUniform();
        x = -std::log(product);
    }
    const double E = 2.718281828459045;
    double p = E / (f + E), xi = 0, eta = 0, q = 0;
    do {
        double v0 = rng.GetUniform(), v1 = rng.GetUniform(), v2 = rng.GetUniform();
        if (p >= v0) {
            xi = std::pow(v1, 1 / f);
            eta = v2 * std::pow(xi, f - 1);
            q = std::pow(xi, f - 1) * std::exp(-xi);
        } else {
            xi = 1 - std::log(v1);
            eta = v2 * std::exp(-xi);
            q = std::pow(xi, f - 1) * std::exp(-xi);
        }
    } while (eta > q);
    return (x + xi) / rate;
}

// An iteration whose sum S is 0 or not finite uses the weights scaled by the largest finite one.
inline void Run(int N, int L, int T, int B, double rate,
                const std::vector<std::vector<std::vector<MisMatchData>>>& evidence, bool** Z,
                const std::map<char, double>& error_score, double** draws, std::vector<double>& prob,
                const std::vector<std::string>& qualities, const std::vector<int>& counts) {
    auto score = [&error_score](char c) { return error_score.count(c) ? error_score.at(c) : 0.0; };
    SimpleRNG rng;
    std::vector<std::vector<double>> currDraw(N, std::vector<double>(L));
    std::vector<double> weight(N), prior(N), loglik(N);
    for (int t = 1; t < T; ++t) {
        bool bPost = t > B - 2;
        double S = 0;
        for (int j = 0; j < N; ++j) {
            prior[j] = 0.1 + counts[j];
            loglik[j] = 0;
            for (int k = 0; k < L; ++k) {
                double theta = currDraw[j][k] = draws[t - 1][j * L + k];
                const std::vector<MisMatchData>& E = evidence[j][k];
                int n = static_cast<int>(E.size());
                if (n > 0) {
                    int m = 0, sum = 0;  // flagged entries; those judged true variants (y = 1)
                    for (const MisMatchData& entry : E) {
                        if (!entry.bMisMatch) continue;
                        ++m;
                        double e = score(entry.cQuality), p = (1 - e) * theta + e;
                        if ((1 - e) * theta / p > rng.GetUniform()) ++sum;
                    }
                    double g1 = rgamma(rng, sum + rate, 10.0), g2 = rgamma(rng, (n - m) + 1.0, 10.0);
                    currDraw[j][k] = g1 / (g1 + g2);  // the beta draw: G1 before G2, both at rate 10
                }
                if (!bPost) continue;
                double e = k < static_cast<int>(qualities[j].size()) ? score(qualities[j][k]) : 0.0;
                double x = (1 - e) * currDraw[j][k] + e;
                loglik[j] += Z[j][k] ? std::log(x) : std::log(1 - x);
            }
            weight[j] = bPost ? std::exp(loglik[j]) : 0;
            S = S + weight[j] * prior[j];
        }
        for (int j = 0; j < N; ++j)
            for (int k = 0; k < L; ++k) draws[t][j * L + k] = currDraw[j][k];
        if (!bPost) continue;
        if (!(S > 0) || !std::isfinite(S)) {
            double dMax = -INFINITY;
            for (int j = 0; j < N; ++j) dMax = std::fmax(dMax, loglik[j]);  // skips NaN; -inf never wins
            if (dMax == -INFINITY) continue;
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
