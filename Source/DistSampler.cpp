#include "DistSampler.h"

double DistSampler::runif() { return rng.GetUniform(); }
double DistSampler::rgamma(double, double) { return 0; }
double DistSampler::rbeta(double, double) { return 0; }
