#pragma once

// The floor of a sampler run: the primitives that its fixed random stream forces, each at its
// isolated cost. Forced are every uniform the chain consumes, and every log, exp and pow whose
// value flows into theta or into the posterior (not those that only decide a rejection test,
// and none whose value is a constant of the shape, such as pow(v, +inf) = 0).
//
// Record runs the chain step by step, exactly as tests/LiteralSampler.h does (the benchmark
// checks that both give the same bits), and counts each forced primitive, keeping the
// arguments of its last kSample calls. Replay then spends what those primitives cost and
// nothing else: it reads the same uniforms from the same stream, and calls log, exp and pow as
// often as recorded on the recorded arguments, which stay in the cache.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "Evidence.h"
#include "SimpleRNG.h"
#include "UniformTable.h"

class ForcedPrimitives {
public:
    static const std::size_t kSample = 4096;  // a power of 2

    long iUniforms = 0;
    long iLogs = 0;
    long iExps = 0;
    long iPows = 0;

    // The chain of one multiread, as literal::Run computes it; prob gets the posterior.
    void Record(int N, int L, int T, int B, double rate,
                const std::vector<std::vector<std::vector<MisMatchData>>>& evidence, bool** Z,
                const std::map<char, double>& error_score, const double* start, std::vector<double>& prob,
                const std::vector<std::string>& qualities, const std::vector<int>& counts);

    // Calls each recorded primitive as often as recorded; returns a sum so that none is skipped.
    double Replay() const;

private:
    double Uniform() {
        ++iUniforms;
        return rng.GetUniform();
    }
    double Log(double x) {
        vLogArgs[iLogs++ % kSample] = x;
        return std::log(x);
    }
    double Exp(double x) {
        vExpArgs[iExps++ % kSample] = x;
        return std::exp(x);
    }
    double Pow(double x, double y) {
        vPowBases[iPows % kSample] = x;
        vPowExponents[iPows++ % kSample] = y;
        return std::pow(x, y);
    }
    double Gamma(double a, double rate);

    SimpleRNG rng;
    std::vector<double> vLogArgs = std::vector<double>(kSample, 0.5);
    std::vector<double> vExpArgs = std::vector<double>(kSample, -0.5);
    std::vector<double> vPowBases = std::vector<double>(kSample, 0.5);
    std::vector<double> vPowExponents = std::vector<double>(kSample, 10.0);
};

// The draw of literal::rgamma; the log of the product, the accepted round's pow or log are
// forced, the tangent test's log and exp and the fraction tests' pow and exp are not.
inline double ForcedPrimitives::Gamma(double a, double rate) {
    int n = static_cast<int>(std::floor(a));
    double f = a - n, x = 0.0;
    if (n > 5) {
        double am = n - 1, s = std::sqrt(2 * am + 1);
        for (;;) {
            double d1 = Uniform(), d2 = 2 * Uniform() - 1;
            if (d1 * d1 + d2 * d2 > 1) continue;
            double y = d2 / d1;
            x = s * y + am;
            if (x <= 0) continue;
            double e = (1 + y * y) * std::exp(am * std::log(x / am) - s * y);
            if (!(Uniform() > e)) break;
        }
    } else if (n >= 1) {
        double product = 1.0;
        for (int i = 0; i < n; ++i) product = product * Uniform();
        x = Log(product);
        x = -x;
    }
    const double E = 2.718281828459045;
    double p = E / (f + E);
    for (;;) {
        double v0 = Uniform(), v1 = Uniform(), v2 = Uniform();
        if (p >= v0) {
            double xi = std::pow(v1, 1 / f);
            if (v2 * std::pow(xi, f - 1) > std::pow(xi, f - 1) * std::exp(-xi)) continue;
            if (f != 0.0) xi = Pow(v1, 1 / f);  // with f = 0, xi is +0 whatever v1
            return (x + xi) / rate;
        }
        double xi = 1 - std::log(v1);
        if (v2 * std::exp(-xi) > std::pow(xi, f - 1) * std::exp(-xi)) continue;
        xi = 1 - Log(v1);
        return (x + xi) / rate;
    }
}

inline void ForcedPrimitives::Record(int N, int L, int T, int B, double rate,
                                     const std::vector<std::vector<std::vector<MisMatchData>>>& evidence, bool** Z,
                                     const std::map<char, double>& error_score, const double* start,
                                     std::vector<double>& prob, const std::vector<std::string>& qualities,
                                     const std::vector<int>& counts) {
    auto score = [&error_score](char c) { return error_score.count(c) ? error_score.at(c) : 0.0; };
    std::vector<double> theta(start, start + static_cast<std::size_t>(N) * L);
    std::vector<double> weight(N), prior(N), loglik(N), constantWeight(N);
    std::vector<std::vector<double>> constantTerm(N, std::vector<double>(L));
    std::vector<bool> covered(N, false);
    for (int t = 1; t < T; ++t) {
        bool bPost = t > B - 2;
        bool bFirstPost = t == std::max(1, B - 1);
        double S = 0;
        for (int j = 0; j < N; ++j) {
            prior[j] = 0.1 + counts[j];
            loglik[j] = 0;
            for (int k = 0; k < L; ++k) {
                double& th = theta[static_cast<std::size_t>(j) * L + k];
                const std::vector<MisMatchData>& E = evidence[j][k];
                int n = static_cast<int>(E.size());
                if (n > 0) {
                    covered[j] = true;
                    int m = 0, sum = 0;
                    for (const MisMatchData& entry : E) {
                        if (!entry.bMisMatch) continue;
                        ++m;
                        double e = score(entry.cQuality), p = (1 - e) * th + e;
                        if ((1 - e) * th / p > Uniform()) ++sum;
                    }
                    double g1 = Gamma(sum + rate, 10.0), g2 = Gamma((n - m) + 1.0, 10.0);
                    th = g1 / (g1 + g2);
                }
                if (!bPost) continue;
                double e = k < static_cast<int>(qualities[j].size()) ? score(qualities[j][k]) : 0.0;
                double x = (1 - e) * th + e;
                // An uncovered position's term is a constant of the multiread: one log in all.
                if (n == 0 && !bFirstPost) {
                    loglik[j] += constantTerm[j][k];
                    continue;
                }
                double dTerm = Z[j][k] ? Log(x) : Log(1 - x);
                if (n == 0) constantTerm[j][k] = dTerm;
                loglik[j] += dTerm;
            }
            // So is the weight of an alignment without covered positions: one exp in all.
            if (bPost && bFirstPost && !covered[j]) constantWeight[j] = Exp(loglik[j]);
            if (bPost) weight[j] = covered[j] ? Exp(loglik[j]) : constantWeight[j];
            S = S + weight[j] * prior[j];
        }
        if (!bPost) continue;
        if (!(S > 0) || !std::isfinite(S)) {
            double dMax = -INFINITY;
            for (int j = 0; j < N; ++j) dMax = std::fmax(dMax, loglik[j]);
            if (dMax == -INFINITY) continue;
            S = 0;
            for (int j = 0; j < N; ++j) {
                weight[j] = std::isfinite(loglik[j]) ? Exp(loglik[j] - dMax) : 0.0;
                S = S + weight[j] * prior[j];
            }
        }
        for (int j = 0; j < N; ++j) prob[j] = prob[j] + weight[j] * prior[j] / S;
    }
    if (T + 1 - B > 0)
        for (int j = 0; j < N; ++j) prob[j] = prob[j] / (T + 1 - B);
}

namespace forced {

// Each loop keeps two sums, so that the additions do not chain every call. The uniforms are
// read from the chunks of the shared table that the sampler made, then generated in blocks
// where they end, as the sampler generates them. They have a function of their own: with
// calls in the same function, the compiler keeps the sums in memory, and that chain would
// cost more than reading a uniform.
[[gnu::noinline]] inline double SumUniforms(long iCount) {
    const UniformTable& table = UniformTable::Shared();
    double a0 = 0;
    double a1 = 0;
    auto add = [&a0, &a1](const double* pValues, long n) {
        long k = 0;
        for (; k + 1 < n; k += 2) {
            a0 += pValues[k];
            a1 += pValues[k + 1];
        }
        if (k < n) a0 += pValues[k];
    };
    long i = 0;
    const long iChunkSize = static_cast<long>(UniformTable::kChunkSize);
    for (std::size_t c = 0; i < iCount; ++c) {
        const double* pChunk = table.MadeChunk(c);
        if (!pChunk) break;
        const long n = std::min(iCount - i, iChunkSize);
        add(pChunk, n);
        i += n;
    }
    unsigned int w = 0;
    unsigned int z = 0;
    SimpleRNG::StateAfter(static_cast<std::uint64_t>(i), w, z);
    static double adBlock[4096];
    while (i < iCount) {
        const int n = static_cast<int>(std::min<long>(iCount - i, 4096));
        SimpleRNG::FillUniforms(w, z, adBlock, n);
        add(adBlock, n);
        i += n;
    }
    return a0 + a1;
}

template <class Call>
double SumCalls(long iCount, Call call) {
    const long kMask = ForcedPrimitives::kSample - 1;
    double a0 = 0;
    double a1 = 0;
    for (long i = 0; i < iCount / 2; ++i) {
        a0 += call(2 * i & kMask);
        a1 += call((2 * i + 1) & kMask);
    }
    if (iCount % 2) a0 += call((iCount - 1) & kMask);
    return a0 + a1;
}

}  // namespace forced

inline double ForcedPrimitives::Replay() const {
    const double* pLog = vLogArgs.data();
    const double* pExp = vExpArgs.data();
    const double* pBase = vPowBases.data();
    const double* pExponent = vPowExponents.data();
    return forced::SumUniforms(iUniforms) + forced::SumCalls(iLogs, [pLog](long i) { return std::log(pLog[i]); }) +
           forced::SumCalls(iExps, [pExp](long i) { return std::exp(pExp[i]); }) +
           forced::SumCalls(iPows, [pBase, pExponent](long i) { return std::pow(pBase[i], pExponent[i]); });
}
