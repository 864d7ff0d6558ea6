#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "DistSampler.h"
#include "LiteralSampler.h"
#include "SimpleRNG.h"

namespace {

// The uniform at position index (0-based) of the stream from the default seeds.
double NthUniform(int index) {
    SimpleRNG rng;
    for (int i = 0; i < index; ++i) rng.GetUniform();
    return rng.GetUniform();
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(SimpleRNG, DefaultSeedsGiveTheKnownFirstStep) {
    SimpleRNG rng;
    unsigned int w = 0;
    unsigned int z = 0;
    rng.GetState(w, z);
    EXPECT_EQ(w, 521288629u);
    EXPECT_EQ(z, 362436069u);
    EXPECT_EQ(rng.GetUint(), 820856226u);
    rng.GetState(w, z);
    EXPECT_EQ(z, 812916871u);
    EXPECT_EQ(w, 275137954u);
    EXPECT_EQ(SimpleRNG().GetUniform(), 0.19112048340236754);
}

TEST(SimpleRNG, StaticStepMatchesTheMemberStep) {
    SimpleRNG rng;
    unsigned int u = 521288629u;
    unsigned int v = 362436069u;
    for (int i = 0; i < 1000; ++i) {
        if (i % 2 == 0)
            ASSERT_EQ(rng.GetUint(), SimpleRNG::GetUint(u, v));
        else
            ASSERT_TRUE(SameBits(rng.GetUniform(), SimpleRNG::GetUniform(u, v)));
    }
}

TEST(SimpleRNG, ZeroStateStaysZeroAndUniformsStayInRange) {
    SimpleRNG zero;
    zero.SetState(0, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(zero.GetUniform(), 0.0);
    unsigned int w = 1;
    unsigned int z = 1;
    zero.GetState(w, z);
    EXPECT_EQ(w, 0u);
    EXPECT_EQ(z, 0u);

    // The largest output maps just below 1.
    EXPECT_EQ(4294967295.0 * 2.328306435996595e-10, 0.9999999995343386);
    SimpleRNG rng;
    for (int i = 0; i < 100000; ++i) {
        double u = rng.GetUniform();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
    }
}

// Shapes with an exactly known uniform count: n + 3 for a whole shape n from 0 to 5 (the
// fractional part of a whole shape takes one round of three), and n + 3 per fractional round.
TEST(DistSampler, GammaConsumesTheStatedNumberOfUniforms) {
    struct Case {
        double a;
        int iUniforms;
    } cases[] = {{0.0, 3}, {1.0, 4}, {2.0, 5}, {3.0, 6}, {5.0, 8}};
    for (const Case& c : cases) {
        DistSampler sampler;
        double x = sampler.rgamma(c.a, 1.0);
        EXPECT_TRUE(SameBits(sampler.runif(), NthUniform(c.iUniforms))) << "a = " << c.a;
        double product = 1.0;
        for (int i = 0; i < static_cast<int>(c.a); ++i) product *= NthUniform(i);
        EXPECT_EQ(x, -std::log(product)) << "a = " << c.a;
    }
}

// Every branch (rejection above 5, product from 1 to 5, none below 1; fractional part with
// f = 0 and f > 0, both of its arms) against the plain version: same value, same stream position.
TEST(DistSampler, GammaAndBetaMatchThePlainVersionBitForBit) {
    const double shapes[] = {0.0, 0.1, 0.5, 0.9999, 1.0, 1.1, 2.5, 3.0, 5.0, 5.9, 6.0, 6.1, 7.0, 12.3, 31.0};
    for (double a : shapes) {
        DistSampler sampler;
        SimpleRNG rng;
        for (int i = 0; i < 2000; ++i) {
            double dFast = sampler.rgamma(a, 10.0);
            double dPlain = literal::rgamma(rng, a, 10.0);
            ASSERT_TRUE(SameBits(dFast, dPlain)) << "a = " << a << " draw " << i;
        }
        ASSERT_TRUE(SameBits(sampler.runif(), rng.GetUniform())) << "a = " << a;
    }
    for (double a : {0.1, 1.1, 3.1, 7.1}) {
        for (double b : {1.0, 2.0, 6.0, 11.0}) {
            DistSampler sampler;
            SimpleRNG rng;
            for (int i = 0; i < 2000; ++i) {
                double dFast = sampler.rbeta(a, b);
                ASSERT_TRUE(SameBits(dFast, literal::rbeta(rng, a, b))) << a << " " << b << " draw " << i;
                ASSERT_GE(dFast, 0.0);
                ASSERT_LE(dFast, 1.0);
            }
            ASSERT_TRUE(SameBits(sampler.runif(), rng.GetUniform()));
        }
    }
}

TEST(DistSampler, RejectionShapeGivesValuesOnBothSidesOfItsMode) {
    DistSampler sampler;
    int iBelow = 0;
    int iAbove = 0;
    for (int i = 0; i < 1000; ++i) {
        double x = sampler.rgamma(7.0, 1.0);
        ASSERT_GT(x, 0.0);
        (x < 6.0 ? iBelow : iAbove)++;
    }
    EXPECT_GT(iBelow, 100);
    EXPECT_GT(iAbove, 100);
}

// A wrong constant or formula shows as a shifted mean; the bounds are five standard errors.
TEST(DistSampler, MeansOfManyDrawsMatchTheDistributions) {
    const int iDraws = 200000;
    for (double a : {0.1, 0.7, 1.0, 2.5, 4.0, 6.0, 9.5, 25.0}) {
        DistSampler sampler;
        double dSum = 0;
        for (int i = 0; i < iDraws; ++i) dSum += sampler.rgamma(a, 10.0);
        double dStdErr = std::sqrt(a) / 10.0 / std::sqrt(static_cast<double>(iDraws));
        EXPECT_NEAR(dSum / iDraws, a / 10.0, 5 * dStdErr) << "gamma shape " << a;
    }
    struct Shapes {
        double a;
        double b;
    } betas[] = {{0.1, 1.0}, {0.1, 11.0}, {1.1, 3.0}, {2.1, 1.0}, {7.1, 8.0}, {30.1, 2.0}};
    for (const Shapes& s : betas) {
        DistSampler sampler;
        double dSum = 0;
        for (int i = 0; i < iDraws; ++i) dSum += sampler.rbeta(s.a, s.b);
        double dTotal = s.a + s.b;
        double dVar = s.a * s.b / (dTotal * dTotal * (dTotal + 1));
        EXPECT_NEAR(dSum / iDraws, s.a / dTotal, 5 * std::sqrt(dVar / iDraws)) << s.a << " " << s.b;
    }
}

// A sampler reading the shared table continues with the generator where the table ends.
TEST(DistSampler, SharedTableGivesTheGeneratedStreamAcrossItsEnd) {
    const UniformTable& table = UniformTable::Shared();
    const long iSize = table.End() - table.Begin();
    EXPECT_EQ(&table, &UniformTable::Shared());
    DistSampler fromTable(table);
    DistSampler generated;
    for (long i = 0; i < iSize - 5; ++i) fromTable.runif();
    for (long i = 0; i < iSize - 5; ++i) generated.runif();
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(SameBits(fromTable.rgamma(7.5, 10.0), generated.rgamma(7.5, 10.0))) << i;
        ASSERT_TRUE(SameBits(fromTable.rbeta(0.1, 3.0), generated.rbeta(0.1, 3.0))) << i;
    }
}
