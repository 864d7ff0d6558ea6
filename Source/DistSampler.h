#ifndef KORVEX_DISTSAMPLER_H
#define KORVEX_DISTSAMPLER_H

#include "SimpleRNG.h"

// Uniform, gamma and beta variates drawn from one SimpleRNG.
class DistSampler {
public:
    double runif();
    double rgamma(double a, double rate);
    double rbeta(double a, double b);

private:
    SimpleRNG rng;
};

#endif
