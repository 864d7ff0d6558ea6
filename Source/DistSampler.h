#ifndef KORVEX_DISTSAMPLER_H
#define KORVEX_DISTSAMPLER_H

#include "SimpleRNG.h"

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
    };
    static GammaShape MakeGammaShape(double a);

    double runif() { return rng.GetUniform(); }
    // One Gamma(a) variate divided by rate.
    double rgamma(double a, double rate) { return rgamma(MakeGammaShape(a), rate); }
    double rgamma(const GammaShape& shape, double rate);
    // One Beta(a, b) variate, as G1 / (G1 + G2) of two gamma draws at rate 10, G1 first.
    double rbeta(double a, double b) { return rbeta(MakeGammaShape(a), MakeGammaShape(b)); }
    double rbeta(const GammaShape& a, const GammaShape& b);

private:
    double GammaWholePart(const GammaShape& shape);
    double GammaFractionPart(const GammaShape& shape);

    SimpleRNG rng;
};

#endif
