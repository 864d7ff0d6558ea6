// The random-number stream, the decision bounds of the gamma draws, and the MCMC sampler against
// the literal sampler.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "DistSampler.h"
#include "GammaBounds.h"
#include "LiteralSampler.h"
#include "MC2.h"
#include "TableBudget.h"
#include "TangentJumps.h"
#include "TenthPower.h"
#include "UniformTable.h"

// The stream from the default seeds; SetState(0, 0) stays at zero.
TEST(SimpleRNG, KnownStream) {
    unsigned int w = 521288629u, z = 362436069u;
    EXPECT_EQ(SimpleRNG::GetUniform(w, z), 0.19112048340236754);
    EXPECT_EQ(std::make_pair(w, z), std::make_pair(275137954u, 812916871u));
    SimpleRNG rng;
    EXPECT_EQ(rng.GetUint(), 820856226u);
    rng.SetState(0, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(rng.GetUniform(), 0.0);
}

// Filling a block in independent runs gives the values and the end state of one value at a
// time: from the default seeds, from states deep in the stream, and from states no seed reaches
// (at or above a sequence's modulus, or zero), for block sizes around the run count.
TEST(SimpleRNG, FilledBlocksMatchTheStepByStepStream) {
    unsigned int w = 521288629u, z = 362436069u;
    for (int i = 0; i < 3000017; ++i) SimpleRNG::GetUint(w, z);
    const std::pair<unsigned int, unsigned int> aStates[] = {
        {521288629u, 362436069u}, {w, z}, {0u, 0u}, {1179647999u, 2422800383u}, {4294967295u, 4294967295u}, {1179648000u, 7u}, {5u, 2422800384u}};
    std::vector<double> vFilled(70000), vExpected(70000);
    for (const auto& state : aStates)
        for (int n : {0, 1, 15, 16, 17, 255, 4095, 4096, 4097, 65535, 70000}) {
            unsigned int u = state.first, v = state.second, uStep = u, vStep = v;
            SimpleRNG::FillUniforms(u, v, vFilled.data(), n);
            for (int i = 0; i < n; ++i) vExpected[i] = SimpleRNG::GetUniform(uStep, vStep);
            ASSERT_EQ(std::memcmp(vFilled.data(), vExpected.data(), n * sizeof(double)), 0) << state.first << " " << n;
            ASSERT_EQ(std::make_pair(u, v), std::make_pair(uStep, vStep)) << state.first << " " << n;
        }
}

// The jumps of shape n from the starts iFrom to iTo of the chunk of the table at U (stream
// position iStart, ending at iStart + kChunkSize) against the tangent rejection loop as the
// literal draw runs it; returns how many are kFar.
static long CheckJumps(int n, const double* U, long iStart, long iFrom, long iTo) {
    const TangentJumps* pJumps = TangentJumps::Shared(n);
    EXPECT_NE(pJumps, nullptr);
    if (!pJumps) return 0;
    const long iSize = iStart + static_cast<long>(UniformTable::kChunkSize);
    const double am = n - 1, s = std::sqrt(2 * am + 1);
    long iFar = 0;
    for (long q = iFrom; q < iTo; ++q) {
        long r = q;
        for (; r + 2 < iSize && r - q < TangentJumps::kFar; r += 3) {
            const double d1 = U[r - iStart], d2 = 2 * U[r + 1 - iStart] - 1;
            if (d1 * d1 + d2 * d2 > 1) { --r; continue; }
            const double y = d2 / d1, x = s * y + am;
            if (x <= 0) { --r; continue; }
            if (!(U[r + 2 - iStart] > (1 + y * y) * std::exp(am * std::log(x / am) - s * y))) break;
        }
        const long iExpected = r + 2 < iSize && r - q < TangentJumps::kFar ? r - q : TangentJumps::kFar;
        EXPECT_EQ(pJumps->Jump(q), iExpected) << "shape " << n << " start " << q;
        if (pJumps->Jump(q) != iExpected) return iTo - iFrom;
        iFar += iExpected == TangentJumps::kFar;
    }
    return iFar;
}

// The jumps from every start in the first chunk of the table (chunk ends and the table's end
// included), for the smallest and largest shapes kept and two between. It runs before the
// draws and chains below, which fill the process's budget of tables with other shapes and
// with powers.
TEST(TangentJumps, AgreeWithTheRejectionLoopFromEveryStart) {
    EXPECT_EQ(TangentJumps::Shared(5), nullptr);
    EXPECT_EQ(TangentJumps::Shared(TangentJumps::kMaxShape + 1), nullptr);
    const long iSize = UniformTable::kChunkSize;
    for (int n : {6, 11, 45, TangentJumps::kMaxShape})
        EXPECT_LT(CheckJumps(n, UniformTable::Shared().Begin(), 0, 0, iSize), iSize / 20);  // not vacuous: most starts jump
}

// Threads that reach one chunk at once: one fills it, the others read kFar (and run the loop)
// until it is published, never another value.
TEST(TangentJumps, ThreadsReachingAChunkTogetherReadItsJumpsOrFar) {
    const int n = 20;
    TangentJumps jumps(n, TangentBounds::Shared(n));
    const std::size_t iPositions = 1 << 16;
    std::vector<std::vector<int>> vSeen(4, std::vector<int>(iPositions));
    std::vector<std::thread> vThreads;
    for (std::vector<int>& vJumps : vSeen)
        vThreads.emplace_back([&jumps, &vJumps] {
            for (std::size_t q = 0; q < vJumps.size(); ++q) vJumps[q] = jumps.Jump(q);
        });
    for (std::thread& thread : vThreads) thread.join();
    std::size_t iJumps = 0;
    for (std::size_t q = 0; q < iPositions; ++q) {
        iJumps += jumps.Jump(q) != TangentJumps::kFar;
        for (const std::vector<int>& vJumps : vSeen)
            ASSERT_TRUE(vJumps[q] == jumps.Jump(q) || vJumps[q] == TangentJumps::kFar) << "start " << q;
    }
    EXPECT_GT(iJumps, iPositions / 2);  // the chunk was filled
}

// The sampler's draws against the literal ones from one generator, bit for bit, in a random mix
// of kinds and shapes (whole shapes from 1 to 60 with and without the tests of a fractional
// part, fractional ones, uniforms) over three million uniforms: through the shared table, its
// end and many generated blocks, with reads of up to eight values after one check.
TEST(DistSampler, DrawsMatchTheLiteralDrawsAcrossTheTableAndBlocks) {
    std::mt19937 gen(7);
    SimpleRNG rng;
    UniformBlock block;
    DistSampler sampler(UniformTable::Shared(), block);
    std::vector<DistSampler::GammaShape> vShapes;
    for (double a : {0.1, 1.1, 2.0, 3.0, 4.0, 5.0, 5.1, 6.0, 11.0, 40.5, 60.0, 0.999}) vShapes.push_back(DistSampler::MakeGammaShape(a));
    const DistSampler::GammaShape& variant = vShapes[0];
    for (long iDraws = 0; iDraws < 700000; ++iDraws) {
        const DistSampler::GammaShape& shape = vShapes[gen() % vShapes.size()];
        const double a = shape.iWhole + shape.dFraction;
        double dExpected = 0;
        double dDrawn = 0;
        switch (gen() % 3) {
            case 0:
                dExpected = rng.GetUniform();
                dDrawn = sampler.runif();
                break;
            case 1:
                dExpected = literal::rgamma(rng, a, 10.0);
                dDrawn = sampler.rgamma(shape, 10.0);
                break;
            default: {
                if (shape.dFraction != 0.0) continue;
                const double g1 = literal::rgamma(rng, 0.1, 10.0);
                const double g2 = literal::rgamma(rng, a, 10.0);
                dExpected = g1 / (g1 + g2);
                dDrawn = sampler.rbetaWhole(variant, shape);
            }
        }
        ASSERT_EQ(std::memcmp(&dExpected, &dDrawn, sizeof(double)), 0) << "draw " << iDraws << " shape " << a;
    }
    // How far the stream went: the steps from the default seeds to the generator's state.
    unsigned int w = 0, z = 0, w0 = 0, z0 = 0;
    rng.GetState(w, z);
    SimpleRNG counter;
    long iUniforms = 0;
    for (counter.GetState(w0, z0); (w0 != w || z0 != z) && iUniforms < 10000000; counter.GetState(w0, z0)) {
        counter.GetUint();
        ++iUniforms;
    }
    EXPECT_GT(iUniforms, 3000000);
    EXPECT_EQ(rng.GetUniform(), sampler.runif());
}

// Draws that start at each of the last positions of the shared table, at its end and just
// after it, against the literal draws.
TEST(DistSampler, DrawsAtTheEndOfTheTableMatchTheLiteralDraws) {
    const DistSampler::GammaShape variant = DistSampler::MakeGammaShape(0.1);
    for (int n : {3, 11, 61}) {
        const DistSampler::GammaShape shape = DistSampler::MakeGammaShape(n);
        for (long iSkip = UniformTable::kChunkSize - 12; iSkip <= static_cast<long>(UniformTable::kChunkSize) + 2; ++iSkip) {
            SimpleRNG rng;
            UniformBlock block;
            DistSampler sampler(UniformTable::Shared(), block);
            for (long i = 0; i < iSkip; ++i) ASSERT_EQ(rng.GetUniform(), sampler.runif());
            for (int i = 0; i < 3; ++i) {
                const double g1 = literal::rgamma(rng, 0.1, 10.0);
                const double g2 = literal::rgamma(rng, n, 10.0);
                const double dExpected = g1 / (g1 + g2), dDrawn = sampler.rbetaWhole(variant, shape);
                ASSERT_EQ(std::memcmp(&dExpected, &dDrawn, sizeof(double)), 0) << "shape " << n << " start " << iSkip;
            }
        }
    }
}

// The shared powers against pow itself at every position of the table. Only the first
// exponent asked for has them: that of the shape 0.1 (the draws above asked first), not that
// of 1.1. They need more than the budget that the tests above leave, so their last chunks are
// not kept and computed on demand.
TEST(UniformPowers, EqualPowAtEveryPositionOfTheTable) {
    const double* U = UniformTable::Shared().Begin();
    const DistSampler::GammaShape shape = DistSampler::MakeGammaShape(0.1);
    ASSERT_NE(shape.pPowers, nullptr);
    EXPECT_EQ(DistSampler::MakeGammaShape(1.1).pPowers, nullptr);
    for (std::size_t q = 0; q < UniformTable::kChunkSize; ++q) {
        const double dExpected = std::pow(U[q], shape.dInverseFraction), dPower = shape.pPowers->Power(q, U[q]);
        ASSERT_EQ(std::memcmp(&dExpected, &dPower, sizeof(double)), 0) << "position " << q;
    }
}

// Every power the shortcut decides is pow's, over the uniforms the stream can give (the smallest
// and largest 2^16 of them, eight million at random) and over other values in [0, 1): tiny ones,
// powers of two and their neighbours, and random ones. It must decide most of them.
TEST(TenthPower, DecidedPowersArePowsBitForBit) {
    std::vector<double> vValues;
    // The uniform of a 32-bit output i, scaled as SimpleRNG scales it.
    auto addUniform = [&](std::uint64_t i) { vValues.push_back(static_cast<double>(i) * 2.328306435996595e-10); };
    for (std::uint64_t i = 0; i < 65536; ++i) addUniform(i), addUniform(4294967295u - i);
    std::mt19937_64 gen(20261208);
    for (int i = 0; i < 8000000; ++i) addUniform(gen() & 0xffffffffu);
    for (int e = -1074; e <= 0; ++e)
        for (double d : {std::ldexp(1.0, e), std::nextafter(std::ldexp(1.0, e), 0.0), std::nextafter(std::ldexp(1.0, e), 1.0)})
            if (d < 1.0) vValues.push_back(d);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 1000000; ++i) vValues.push_back(unit(gen));
    const bool bShortcut = tenth_power_detail::bUseFusedMultiplyAdd;
    long iDecided = 0;
    for (double u : vValues) {
        const double dExpected = std::pow(u, 10.0), dTenth = TenthPower(u);
        ASSERT_EQ(std::memcmp(&dExpected, &dTenth, sizeof(double)), 0) << std::hexfloat << u;
        double dPower = 0.0;
        if (!bShortcut || !tenth_power_detail::NearestIsCertain(u, dPower)) continue;
        ASSERT_EQ(std::memcmp(&dExpected, &dPower, sizeof(double)), 0) << std::hexfloat << u;
        ++iDecided;
    }
    if (bShortcut) {
        EXPECT_GT(iDecided, static_cast<long>(vValues.size()) * 3 / 4);
    }
}

// error_score as the sampler gets it (read-only, any thread); '!' and '*' have no score.
static std::map<char, double> gScores = {{'#', 0.5}, {'5', 0.05}, {'A', 0.01}, {'I', 0.001}, {'Z', 0.0}};

// One multiread (N <= 8, L <= 999, score 0 everywhere) and the chain settings; draws start at dStart.
struct Multiread {
    int iN, iL, iT, iB;
    double dRate = 0.1, dStart = 1e-06;
    std::vector<std::vector<std::vector<MisMatchData>>> vEvidence;  // N x L lists
    std::vector<std::string> vQualities;
    std::vector<int> vCounts;
    bool bZ[8][999] = {};
    Multiread(int n, int l, int t, int b)
        : iN(n), iL(l), iT(t), iB(b), vEvidence(n, std::vector<std::vector<MisMatchData>>(l)),
          vQualities(n, std::string(l, 'Z')), vCounts(n, 0) {}

    // prob, then the draws (T rows of N*L), from the literal sampler or the optimised one.
    std::vector<double> Sample(bool bLiteral = false) {
        std::vector<double> vProb(iN), vDraws(static_cast<size_t>(iT) * iN * iL, dStart);
        std::vector<double*> vRow;
        for (int t = 0; t < iT; ++t) vRow.push_back(vDraws.data() + static_cast<size_t>(t) * iN * iL);
        bool* pZ[8] = {bZ[0], bZ[1], bZ[2], bZ[3], bZ[4], bZ[5], bZ[6], bZ[7]};
        std::vector<AlignmentEvidence> vAlignments;
        for (int j = 0; j < iN; ++j) vAlignments.push_back({&vEvidence[j], bZ[j], vQualities[j], vCounts[j]});
        if (bLiteral) literal::Run(iN, iL, iT, iB, dRate, vEvidence, pZ, gScores, &vRow[0], vProb, vQualities, vCounts);
        else MCMCcalculator(ModelParameters{0, dRate, iT, iB}).Run(vAlignments, iL, gScores, &vRow[0], vProb);
        vProb.insert(vProb.end(), vDraws.begin(), vDraws.end());
        return vProb;
    }
};

static bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

static MisMatchData Entry(char c) { return MisMatchData{0, c != ' ', c}; }  // flagged unless c is ' '

// Equal inputs give equal bits on two threads at once and in the literal sampler, over a chain that
// reads past the shared table of uniforms.
TEST(MCMCcalculator, SameInputsGiveIdenticalResultsOnAnyThread) {
    Multiread m(3, 36, 1000, 200);
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 36; ++k) m.vEvidence[j][k].assign(1 + (j + k) % 40, Entry(k % 3 ? ' ' : '5'));
    m.vCounts = {5, 12, 3};
    m.bZ[0][4] = m.bZ[1][30] = true;
    std::vector<double> a[2];
#pragma omp parallel for num_threads(2)
    for (int i = 0; i < 2; ++i) a[i] = m.Sample();
    EXPECT_TRUE(SameBits(a[0], a[1]));
    EXPECT_TRUE(SameBits(m.Sample(true), a[0]));
}

// The optimised sampler against the literal one on thousands of random multireads, bit for bit:
// 2 to 8 alignments, depth 0 to 60, flagged entries with and without a score (score 0 makes
// every one a variant, so variant shapes exceed 5), often all of a position's entries flagged
// with a few shared quality characters, rates whose fractions are 0, near 0 (1 / f beyond the
// bounds' reach) and near 1, reads up to 999 long, chains up to 120 iterations (past the
// shared table of uniforms and across blocks of generated ones), QUAL "*".
TEST(MCMCcalculator, MatchesTheLiteralSamplerBitForBit) {
    std::mt19937 gen(2024);
    auto pick = [&gen](int iMax) { return static_cast<int>(gen() % (iMax + 1)); };
    const char qualities[] = "#5AIZ!*";
    const double rates[] = {0.1, 0.1, 0.5, 1.0, 2.3, 0.999, 0.0015, 1e-9, 7.25, 0.1};
    const double starts[] = {1e-06, 1e-06, 1e-300, 0.3, 0.0, 1.0};  // 0 and 1 give logs of 0; 1e-300 underflows
    for (int iCase = 0; iCase < 3000; ++iCase) {
        int iKind = iCase % 20;  // 17: a deep chain of many alignments, 18: a long chain, 19: a long read
        int iL = iKind == 19 ? 100 + pick(899) : iKind == 17 ? 100 + pick(50) : 1 + pick(39);
        int iT = iKind == 19 ? 1 + pick(2) : iKind == 18 ? 30 + pick(90) : iKind == 17 ? 20 + pick(20) : 1 + pick(13);
        int iN = 2 + pick(iKind == 17 ? 6 : 3), iCover = pick(99), iFlag = pick(3) ? pick(33) : 100;
        int iDepth = pick(3) ? 30 : 60;
        Multiread m(iN, iL, iT, pick(iT + 3));
        m.dRate = rates[iCase % 10];
        m.dStart = starts[(iCase / 10) % 6];
        for (int j = 0; j < iN; ++j) {
            m.vCounts[j] = pick(2) ? pick(40) : 0;
            for (char& c : m.vQualities[j]) c = qualities[pick(6)];
            if (pick(9) == 0) m.vQualities[j] = "*";
            for (int k = 0; k < iL; ++k) {
                m.bZ[j][k] = pick(6) == 0;
                for (int i = m.vCounts[j] > 0 && pick(99) < iCover ? pick(iDepth) : 0; i > 0; --i)
                    m.vEvidence[j][k].push_back(Entry(pick(99) < iFlag ? qualities[pick(6)] : ' '));
            }
        }
        ASSERT_TRUE(SameBits(m.Sample(), m.Sample(true))) << "case " << iCase;
    }
}

// Every verdict of the bounds must agree with the exact expression the draw would compute, on
// millions of inputs aimed at the edges: uniforms at 0, tiny, near 1, and thresholds hit
// within a few units in the last place (where only Undecided is right) or within the margin.
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

// Last in this file but one: a raised budget stays raised for the rest of the process. A run is given
// room in proportion to its kept alignments, never less than the minimum, and a smaller run
// after a bigger one does not shrink it under the tables already kept.
TEST(TableBudget, GrowsWithTheRunAndNeverShrinks) {
    const std::size_t iStart = TableBudget::Bytes();
    EXPECT_GE(iStart, TableBudget::kMinimumBytes);
    TableBudget::ScaleToRun(0);
    TableBudget::ScaleToRun(1000);
    EXPECT_EQ(TableBudget::Bytes(), iStart);
    const std::int64_t iBig = 2 * static_cast<std::int64_t>(iStart / TableBudget::kBytesPerKeptAlignment);
    const std::size_t iBigBytes = TableBudget::kBytesPerKeptAlignment * static_cast<std::size_t>(iBig);
    TableBudget::ScaleToRun(iBig);
    EXPECT_EQ(TableBudget::Bytes(), iBigBytes);
    TableBudget::ScaleToRun(iBig / 4);
    EXPECT_EQ(TableBudget::Bytes(), iBigBytes);
}

// With room for the whole table: chains that read past its first chunk read the stream from
// the further chunks, with their powers and jumps, bit for bit as the literal draws, also for
// draws that need values from both sides of a chunk's start.
static void CheckFurtherChunks() {
    TableBudget::ScaleToRun(std::int64_t(1) << 30);
    const UniformTable& table = UniformTable::Shared();
    const std::size_t C = UniformTable::kChunkSize, iLead = UniformTable::kLead;
    EXPECT_EQ(table.MadeChunk(1), nullptr);
    std::vector<double> vStream(3 * C);
    SimpleRNG rng;
    for (double& d : vStream) d = rng.GetUniform();
    for (std::size_t k : {1, 2}) {
        const double* pChunk = table.Chunk(k);
        ASSERT_NE(pChunk, nullptr);
        ASSERT_EQ(std::memcmp(pChunk - iLead, &vStream[k * C - iLead], (iLead + C) * sizeof(double)), 0) << "chunk " << k;
    }
    EXPECT_EQ(table.Chunk(UniformTable::kMaxChunks), nullptr);

    const DistSampler::GammaShape variant = DistSampler::MakeGammaShape(0.1);
    for (int n : {3, 11, 61}) {
        const DistSampler::GammaShape shape = DistSampler::MakeGammaShape(n);
        for (long iSkip = C - 12; iSkip <= static_cast<long>(C) + 2; ++iSkip) {
            SimpleRNG literal;
            UniformBlock block;
            DistSampler sampler(table, block);
            for (long i = 0; i < iSkip; ++i) literal.GetUniform(), sampler.runif();
            for (int i = 0; i < 3; ++i) {
                const double g1 = literal::rgamma(literal, 0.1, 10.0);
                const double g2 = literal::rgamma(literal, n, 10.0);
                const double dExpected = g1 / (g1 + g2), dDrawn = sampler.rbetaWhole(variant, shape);
                ASSERT_EQ(std::memcmp(&dExpected, &dDrawn, sizeof(double)), 0) << "shape " << n << " start " << iSkip;
            }
        }
    }
    for (std::size_t q = C; q < 2 * C; ++q) {
        const double dExpected = std::pow(vStream[q], variant.dInverseFraction), dPower = variant.pPowers->Power(q, vStream[q]);
        ASSERT_EQ(std::memcmp(&dExpected, &dPower, sizeof(double)), 0) << "position " << q;
    }
    for (int n : {6, 45}) {
        const long iChunk = static_cast<long>(C);
        EXPECT_LT(CheckJumps(n, table.Chunk(1), iChunk, iChunk, iChunk + 70000), 70000 / 20);
        CheckJumps(n, table.Chunk(1), iChunk, 2 * iChunk - 70000, 2 * iChunk);
    }

    Multiread m(3, 36, 1000, 200);
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 36; ++k) m.vEvidence[j][k].assign(1 + (j + k) % 40, Entry(k % 3 ? ' ' : '5'));
    m.vCounts = {5, 12, 3};
    EXPECT_TRUE(SameBits(m.Sample(), m.Sample(true)));
}

// A chunk is decided once per process, and earlier tests of this file reach chunk 1 under the
// smallest budget: the check runs in a process of its own, which writes its failures on its
// standard error for this process to show.
TEST(UniformTable, FurtherChunksServeLongChainsBitForBit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::testing::TestPartResultArray failures;
            {
                ::testing::ScopedFakeTestPartResultReporter reporter(&failures);
                CheckFurtherChunks();
            }
            for (int i = 0; i < failures.size(); ++i) {
                const ::testing::TestPartResult& failure = failures.GetTestPartResult(i);
                std::fprintf(stderr, "%s:%d: %s\n", failure.file_name(), failure.line_number(), failure.summary());
            }
            std::exit(failures.size() == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Threads that reach one further chunk at once: one makes it, the others get null (and
// generate the values) until it is published, never another chunk.
TEST(UniformTable, ThreadsReachingAChunkTogetherGetItOrNothing) {
    TableBudget::ScaleToRun(std::int64_t(1) << 30);
    const UniformTable& table = UniformTable::Shared();
    const std::size_t k = 7;
    std::vector<const double*> vSeen(4);
    std::vector<std::thread> vThreads;
    for (const double*& pSeen : vSeen) vThreads.emplace_back([&table, &pSeen] { pSeen = table.Chunk(k); });
    for (std::thread& thread : vThreads) thread.join();
    const double* pChunk = table.MadeChunk(k);
    ASSERT_NE(pChunk, nullptr);
    for (const double* pSeen : vSeen) EXPECT_TRUE(pSeen == nullptr || pSeen == pChunk);
    unsigned int u = 0, v = 0;
    SimpleRNG::StateAfter(k * UniformTable::kChunkSize - UniformTable::kLead, u, v);
    SimpleRNG rng;
    rng.SetState(u, v);
    for (long i = -UniformTable::kLead; i < 1000; ++i) ASSERT_EQ(pChunk[i], rng.GetUniform()) << "value " << i;
}
