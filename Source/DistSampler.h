#ifndef KORVEX_DISTSAMPLER_H
#define KORVEX_DISTSAMPLER_H

#include <cstddef>
#include <vector>

#include "GammaBounds.h"
#include "SimpleRNG.h"

// The first uniforms of the stream from the default seeds, computed once per process. Every
// multiread's sampler starts from the default seeds and so reads a prefix of this one stream;
// reading it from memory is cheaper than generating it again for every multiread.
class UniformTable {
public:
    // Built on first use (thread-safe), then shared read-only by all threads.
    static const UniformTable& Shared();

    const double* Begin() const { return vValues.data(); }
    const double* End() const { return vValues.data() + vValues.size(); }
    // The generator state after the last value, where the stream continues.
    void GetEndState(unsigned int& u, unsigned int& v) const { u = uEndW; v = uEndZ; }

private:
    explicit UniformTable(std::size_t iSize);

    std::vector<double> vValues;  // owned; filled by the constructor, read-only afterwards
    unsigned int uEndW;
    unsigned int uEndZ;
};

// Uniform, gamma and beta variates drawn from one SimpleRNG. The stream of variates is
// fixed by the seeds: every draw consumes a fixed pattern of uniforms.
class DistSampler {
public:
    // The constants of a gamma draw of one shape a, computed once so that a caller drawing
    // the same shape many times need not recompute them. Built exactly as a draw builds them.
    struct GammaShape {
        int iWhole;              // n = floor(a)
        double dFraction;        // f = a - n
        double dFractionBound;   // E / (f + E)
        double dInverseFraction; // 1 / f
        double dFractionPower;   // f - 1
        double dAm;              // n - 1, used when n > 5
        double dRoot;            // sqrt(2 (n - 1) + 1), used when n > 5
        FractionBounds fractionBounds;    // decides most rounds of the fractional part
        const TangentBounds* pTangent;    // shared, when n > 5: decides most tangent proposals
    };
    static GammaShape MakeGammaShape(double a);

    // Draws from a fresh generator with the default seeds.
    DistSampler() : pNext(nullptr), pEnd(nullptr) {}
    // Draws the same stream as DistSampler(), reading its start from table.
    explicit DistSampler(const UniformTable& table);

    double runif() { return NextUniform(); }
    // One Gamma(a) variate divided by rate.
    double rgamma(double a, double rate) { return rgamma(MakeGammaShape(a), rate); }
    double rgamma(const GammaShape& shape, double rate);
    // One Beta(a, b) variate, as G1 / (G1 + G2) of two gamma draws at rate 10, G1 first.
    double rbeta(double a, double b) { return rbeta(MakeGammaShape(a), MakeGammaShape(b)); }
    double rbeta(const GammaShape& a, const GammaShape& b);

private:
    double NextUniform() { return pNext != pEnd ? *pNext++ : rng.GetUniform(); }
    double GammaWholePart(const GammaShape& shape);
    double GammaFractionPart(const GammaShape& shape);

    SimpleRNG rng;         // continues the stream once the table is used up
    const double* pNext;   // next unread value of the shared table, or pEnd
    const double* pEnd;    // end of the shared table (not owned)
};

#endif
