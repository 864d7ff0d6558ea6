#include <gtest/gtest.h>

#include <cmath>

#include "DistSampler.h"

// From the default seeds; SetState(0, 0) stays at zero. A whole gamma shape n up to 5 takes
// n uniforms for -log of their product, then one round of three for the fractional part f = 0.
TEST(SimpleRNG, KnownStreamAndUniformsOfWholeGammaShapes) {
    unsigned int w = 521288629u, z = 362436069u;
    EXPECT_EQ(SimpleRNG::GetUniform(w, z), 0.19112048340236754);
    EXPECT_EQ(std::make_pair(w, z), std::make_pair(275137954u, 812916871u));
    SimpleRNG rng;
    EXPECT_EQ(rng.GetUint(), 820856226u);
    rng.SetState(0, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(rng.GetUniform(), 0.0);
    for (int n = 0; n <= 5; ++n) {
        DistSampler sampler;
        double x = sampler.rgamma(n, 1.0), product = 1.0;
        SimpleRNG stream;
        for (int i = 0; i < n; ++i) product *= stream.GetUniform();
        for (int i = 0; i < 3; ++i) stream.GetUniform();
        EXPECT_EQ(x, -std::log(product)) << "a = " << n;
        EXPECT_EQ(sampler.runif(), stream.GetUniform()) << "a = " << n;
    }
}

// {a, b}: b = 0 draws rgamma(a, 10), mean a / 10, otherwise rbeta(a, b), mean a / (a + b); a wrong
// constant or formula shows as a mean off by more than five standard errors.
TEST(DistSampler, MeansOfManyDrawsMatchTheDistributions) {
    const double shapes[][2] = {{0.1, 0}, {0.7, 0},  {1, 0},   {2.5, 0}, {6, 0},   {9.5, 0},
                                {25, 0},  {0.1, 1}, {0.1, 11}, {1.1, 3}, {7.1, 8}, {30.1, 2}};
    for (const auto& s : shapes) {
        const double a = s[0], b = s[1], dDraws = 200000;
        DistSampler sampler;
        double dSum = 0;
        for (int i = 0; i < dDraws; ++i) dSum += b == 0 ? sampler.rgamma(a, 10.0) : sampler.rbeta(a, b);
        double dVar = b == 0 ? a / 100 : a * b / ((a + b) * (a + b) * (a + b + 1));
        EXPECT_NEAR(dSum / dDraws, b == 0 ? a / 10 : a / (a + b), 5 * std::sqrt(dVar / dDraws)) << a << " " << b;
    }
}
