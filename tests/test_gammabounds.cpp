// Every verdict of the bounds must agree with the exact expression the draw would compute, on
// millions of inputs aimed at the edges: uniforms at 0, tiny, near 1, and thresholds hit
// within a few units in the last place (where only Undecided is right) or within the margin.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "DistSampler.h"
#include "GammaBounds.h"

namespace {

struct Inputs {
    std::mt19937_64 gen{20240611};
    long aiDecided[2] = {0, 0}, aiTotal[2] = {0, 0};  // by bNear: thresholds at random, or hit closely

    double Unit() { return (gen() >> 11) * 0x1.0p-53; }  // [0, 1)
    int Pick(int n) { return static_cast<int>(gen() % n); }
    // A uniform as the stream gives them, or one at an edge of [0, 1) or of a table bin.
    double Uniform() {
        switch (Pick(9)) {
            case 0: return 0.0;
            case 1: return std::pow(10.0, -300 * Unit());
            case 2: return 1.0 - (1 + Pick(1000)) * 0x1.0p-53;
            case 3: return static_cast<unsigned>(gen()) * 2.328306435996595e-10;
            case 4: return (1 + Pick(255)) / 256.0 - Pick(2) * 0x1.0p-60;
            default: return Unit();
        }
    }
    // With bNear, the threshold moved by a few units in the last place or a small relative amount.
    double Compared(bool bNear, double dThreshold) {
        if (!bNear) return Unit();
        const double d = Pick(2) ? Pick(9) * 0x1.0p-52 : std::pow(10.0, -9 - 7 * Unit());
        return dThreshold * (Pick(2) ? 1 + d : 1 - d);
    }
    // False when a decided verdict contradicts the exact outcome.
    bool Agrees(bool bNear, Verdict verdict, bool bReject) {
        ++aiTotal[bNear];
        if (verdict == Verdict::Undecided) return true;
        ++aiDecided[bNear];
        return (verdict == Verdict::Reject) == bReject;
    }
};

}  // namespace

// First branch: xi = pow(v1, 1 / f), rejected when v2 t > t exp(-xi) with t = pow(xi, f - 1).
// Fractions of the variant shapes (c + rate) - c, and fractions near 0 and 1.
TEST(GammaBounds, FractionFirstBranchAgreesWithTheExactTest) {
    Inputs in;
    const double rates[] = {0.1, 0.5, 2.3, 0.01, 0.001};
    for (int iShape = 0; iShape < 400; ++iShape) {
        const int c = in.Pick(60);
        const double a = iShape % 4 ? c + rates[iShape % 5] : c + (in.Pick(2) ? 1e-3 * in.Unit() : 1 - 1e-3 * in.Unit());
        const DistSampler::GammaShape shape = DistSampler::MakeGammaShape(a);
        for (int i = 0; i < 5000 && shape.dFraction != 0.0; ++i) {
            const double v1 = in.Uniform(), xi = std::pow(v1, shape.dInverseFraction);
            const double t = std::pow(xi, shape.dFractionPower), v2 = in.Compared(i % 2, std::exp(-xi));
            ASSERT_TRUE(in.Agrees(i % 2, shape.pFraction->DecideFirst(v1, v2), v2 * t > t * std::exp(-xi)))
                << "a " << a << " v1 " << v1 << " v2 " << v2 << " xi " << xi;
        }
    }
    EXPECT_GT(in.aiDecided[0], 0.75 * in.aiTotal[0]);  // not vacuous: most decided
    EXPECT_GT(in.aiDecided[1], 0.05 * in.aiTotal[1]);
}

// Second branch: xi = 1 - log(v1), rejected when v2 exp(-xi) > pow(xi, f - 1) exp(-xi).
TEST(GammaBounds, FractionSecondBranchAgreesWithTheExactTest) {
    Inputs in;
    for (int i = 0; i < 1000000; ++i) {
        const double f = in.Pick(4) ? in.Unit() : (in.Pick(2) ? 1e-6 * in.Unit() : 1 - 1e-9 * in.Unit());
        if (f == 0.0) continue;
        const double xi = 1.0 - std::log(in.Uniform()), fpow = f - 1.0, g = std::exp(-xi);
        const double v2 = in.Compared(i % 2, std::pow(xi, fpow));
        ASSERT_TRUE(in.Agrees(i % 2, FractionBounds::DecideSecond(xi, v2, f), v2 * g > std::pow(xi, fpow) * g))
            << "f " << f << " xi " << xi << " v2 " << v2;
    }
    EXPECT_GT(in.aiDecided[0], 0.6 * in.aiTotal[0]);
}

// Tangent rejection of whole shapes n > 5: proposal y with x = s y + am > 0, rejected when
// u > e(y). Proposals as the draw makes them, at bin ends, near -am / s, 0, 8 and far out.
TEST(GammaBounds, TangentTableAgreesWithTheExactTest) {
    Inputs in;
    for (int n : {6, 7, 8, 11, 12, 20, 31, 45, 61, 100, 129, 500, 3000, 100000}) {
        const DistSampler::GammaShape shape = DistSampler::MakeGammaShape(n);
        ASSERT_NE(shape.pTangent, nullptr);
        EXPECT_EQ(shape.pTangent, TangentBounds::Shared(n));
        const double am = shape.dAm, s = shape.dRoot;
        for (int i = 0; i < 150000; ++i) {
            double y;
            switch (in.Pick(6)) {
                case 0: y = std::floor(-am / s * 32) / 32 + in.Pick(520) / 32.0 + (in.Unit() - 0.5) * 1e-12; break;
                case 1: y = -am / s * (1 - std::pow(10.0, -15 * in.Unit())); break;
                case 2: y = (in.Pick(2) ? 8.0 : 0.0) + (in.Unit() - 0.5) * std::pow(10.0, -12 * in.Unit()); break;
                case 3: y = std::pow(2.0, 33 * in.Unit()); break;
                default: y = (2.0 * in.Uniform() - 1.0) / in.Uniform();
            }
            if (!(s * y + am > 0.0) || !std::isfinite(y)) continue;
            const double e = TangentBounds::Ratio(am, s, y), u = in.Compared(i % 2, e);
            ASSERT_TRUE(in.Agrees(i % 2, shape.pTangent->Decide(y, u), u > e)) << "n " << n << " y " << y << " u " << u;
        }
    }
    EXPECT_GT(in.aiDecided[0], 0.7 * in.aiTotal[0]);
}
