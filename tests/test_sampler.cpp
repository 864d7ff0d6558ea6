#include <gtest/gtest.h>

#include <omp.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DistSampler.h"
#include "LiteralSampler.h"
#include "MC2.h"

namespace {

// The inputs of one multiread, with the row-pointer arrays the sampler takes.
struct Multiread {
    int iN;
    int iL;
    int iT;
    std::vector<std::vector<std::vector<MisMatchData>>> vEvidence;  // N x L lists
    std::vector<std::vector<bool>> vZ;
    std::vector<std::string> vQualities;
    std::vector<int> vCounts;

    Multiread(int n, int l, int t)
        : iN(n), iL(l), iT(t), vEvidence(n, std::vector<std::vector<MisMatchData>>(l)),
          vZ(n, std::vector<bool>(l, false)), vQualities(n, std::string(l, 'I')), vCounts(n, 0) {}
};

// Draws, Z and prob of one sampler call; the row arrays are owned here, single-threaded.
struct Output {
    std::vector<double> vDrawValues;
    std::vector<double*> vDrawRows;
    std::unique_ptr<bool[]> pZValues;  // N*L flags behind vZRows
    std::vector<bool*> vZRows;
    std::vector<double> vProb;

    explicit Output(const Multiread& m, double dStart = 1e-06)
        : vDrawValues(static_cast<size_t>(m.iT) * m.iN * m.iL, dStart), pZValues(new bool[m.iN * m.iL]),
          vProb(m.iN, 0.0) {
        for (int t = 0; t < m.iT; ++t) vDrawRows.push_back(&vDrawValues[static_cast<size_t>(t) * m.iN * m.iL]);
        for (int j = 0; j < m.iN; ++j) {
            for (int k = 0; k < m.iL; ++k) pZValues[j * m.iL + k] = m.vZ[j][k];
            vZRows.push_back(&pZValues[j * m.iL]);
        }
    }
};

const std::map<char, double> SCORES = {{'#', 0.5}, {'5', 0.05}, {'A', 0.01}, {'I', 0.001}, {'Z', 0.0}};

void RunFast(MCMCcalculator& calc, const Multiread& m, std::map<char, double>& scores, Output& out) {
    calc.Run(m.vEvidence, out.vZRows.data(), scores, out.vDrawRows.data(), out.vProb, m.vQualities, m.vCounts);
}

void RunFast(const Multiread& m, int iBurnin, double dRate, std::map<char, double> scores, Output& out) {
    MCMCcalculator calc(m.iN, m.iL, m.iT, iBurnin, dRate);
    RunFast(calc, m, scores, out);
}

void RunPlain(const Multiread& m, int iBurnin, double dRate, const std::map<char, double>& scores, Output& out) {
    literal::Run(m.iN, m.iL, m.iT, iBurnin, dRate, m.vEvidence, out.vZRows.data(), scores, out.vDrawRows.data(),
                 out.vProb, m.vQualities, m.vCounts);
}

MisMatchData Entry(bool bMisMatch, char cQuality) { return MisMatchData{0, bMisMatch, bMisMatch ? cQuality : ' '}; }

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

double Sum(const std::vector<double>& v) {
    double d = 0;
    for (double x : v) d += x;
    return d;
}

// A random multiread: evidence depth 0 to 30 per position (often 0), a few flagged entries,
// quality characters with and without a score, a few mismatches of its own.
Multiread RandomMultiread(std::mt19937& gen) {
    std::uniform_int_distribution<int> pickN(2, 5), pickL(1, 40), pickT(1, 14), pickDepth(0, 30),
        pickPercent(0, 99), pickCount(0, 40);
    const char qualities[] = "#5AIZ!*";
    std::uniform_int_distribution<int> pickQuality(0, 6);
    Multiread m(pickN(gen), pickL(gen), pickT(gen));
    int iCoverPercent = pickPercent(gen);
    int iFlagPercent = pickPercent(gen) / 3;
    for (int j = 0; j < m.iN; ++j) {
        m.vCounts[j] = pickPercent(gen) < 30 ? 0 : pickCount(gen);
        std::string& q = m.vQualities[j];
        for (int k = 0; k < m.iL; ++k) q[k] = qualities[pickQuality(gen)];
        if (pickPercent(gen) < 10) q = "*";
        for (int k = 0; k < m.iL; ++k) {
            m.vZ[j][k] = pickPercent(gen) < 15;
            if (m.vCounts[j] == 0 || pickPercent(gen) >= iCoverPercent) continue;
            int iDepth = pickDepth(gen);
            for (int i = 0; i < iDepth; ++i)
                m.vEvidence[j][k].push_back(Entry(pickPercent(gen) < iFlagPercent, qualities[pickQuality(gen)]));
        }
    }
    return m;
}

}  // namespace

// e = 0.01, theta = 1e-06: a flagged read is a true variant when U() is below this ratio.
// The first uniform (0.19...) is above it, so y = 0; with score 0 the ratio is 1 and y = 1.
TEST(MCMCcalculator, GibbsStepJudgesFlaggedReadsByTheVariantRatio) {
    const double e = 0.01;
    const double theta = 1e-06;
    EXPECT_EQ((1 - e) * theta / ((1 - e) * theta + e), 9.899019997020297e-05);
    for (char c : {'A', 'Z'}) {
        Multiread m(2, 1, 2);
        m.vEvidence[0][0] = {Entry(true, c), Entry(false, ' '), Entry(false, ' ')};
        Output out(m);
        RunFast(m, 2, 0.1, SCORES, out);
        DistSampler expected;
        EXPECT_EQ(expected.runif(), 0.19112048340236754);
        double y = c == 'Z' ? 1 : 0;
        EXPECT_EQ(out.vDrawRows[1][0], expected.rbeta(y + 0.1, 3.0)) << c;
        EXPECT_EQ(out.vDrawRows[1][1], 1e-06);
    }
}

// L = 4, e = 0.01 everywhere, theta = 1e-06, one mismatch at k = 1; the other alignment has none.
TEST(MCMCcalculator, LikelihoodOfUncoveredPositions) {
    const double x = 0.99 * 1e-06 + 0.01;
    double dLogLik = std::log(1 - x) + std::log(x) + std::log(1 - x) + std::log(1 - x);
    EXPECT_EQ(dLogLik, -4.635225198450272);
    EXPECT_EQ(std::exp(dLogLik), 0.009703921484187323);
    double dOther = std::exp(std::log(1 - x) + std::log(1 - x) + std::log(1 - x) + std::log(1 - x));

    Multiread m(2, 4, 2);
    m.vQualities = {"AAAA", "AAAA"};
    m.vZ[0][1] = true;
    m.vCounts = {3, 0};
    Output out(m);
    RunFast(m, 2, 0.1, SCORES, out);
    double dPrior0 = 0.1 + 3;
    double S = 0.009703921484187323 * dPrior0 + dOther * 0.1;
    EXPECT_EQ(out.vProb[0], 0.009703921484187323 * dPrior0 / S);
    EXPECT_EQ(out.vProb[1], dOther * 0.1 / S);
}

TEST(MCMCcalculator, IterationCountAndBurnin) {
    struct Case {
        int iT;
        int iB;
        double dSum;  // expected sum of the probabilities
    } cases[] = {{1, 0, 0.0}, {1, 1, 0.0}, {1, 2, 0.0}, {1, 3, 0.0}, {10, 0, 9.0 / 11}, {10, 1, 9.0 / 10},
                 {10, 2, 1.0},  {10, 10, 1.0}, {10, 11, 0.0}, {10, 30, 0.0}, {2, 2, 1.0}};
    for (const Case& c : cases) {
        Multiread m(3, 5, c.iT);
        m.vEvidence[1][2] = {Entry(true, 'A'), Entry(false, ' ')};
        m.vCounts = {1, 2, 0};
        m.vZ[2][0] = true;
        Output out(m);
        RunFast(m, c.iB, 0.1, SCORES, out);
        EXPECT_NEAR(Sum(out.vProb), c.dSum, 1e-12) << "T " << c.iT << " B " << c.iB;
        for (double p : out.vProb) {
            EXPECT_GE(p, 0.0);
            EXPECT_LE(p, 1.0);
            EXPECT_FALSE(std::signbit(p));
        }
        if (c.iT == 1) {
            EXPECT_EQ(out.vDrawValues, std::vector<double>(3 * 5, 1e-06));
        }
    }
}

// Every likelihood underflows to 0: the iteration uses the weights scaled by the largest.
TEST(MCMCcalculator, UnderflowingLikelihoodsStillGiveThePosterior) {
    Multiread m(2, 100, 3);
    m.vQualities = {std::string(100, 'Z'), std::string(100, 'Z')};
    for (int k = 0; k < 100; ++k) m.vZ[0][k] = true;
    for (int k = 1; k < 100; ++k) m.vZ[1][k] = true;
    Output out(m);
    RunFast(m, 2, 0.1, SCORES, out);
    double dRatio = std::exp(std::log(1e-06) - std::log(1 - 1e-06));
    EXPECT_NEAR(out.vProb[0], dRatio / (1 + dRatio), 1e-15);
    EXPECT_NEAR(out.vProb[1], 1 / (1 + dRatio), 1e-15);
    EXPECT_GT(out.vProb[0], 0.0);
}

// theta = 1 with score 0 makes log(1 - x) = -inf: an alignment without a finite likelihood
// gets nothing, and an iteration where none is finite adds nothing at all.
TEST(MCMCcalculator, IterationsWithoutFiniteLikelihoodAddNothing) {
    Multiread m(2, 3, 4);
    m.vQualities = {"ZZZ", "ZZZ"};
    Output none(m, 1.0);
    RunFast(m, 2, 0.1, SCORES, none);
    EXPECT_EQ(none.vProb, std::vector<double>(2, 0.0));

    m.vZ[1] = {true, true, true};
    Output one(m, 1.0);
    RunFast(m, 2, 0.1, SCORES, one);
    EXPECT_EQ(one.vProb[0], 0.0);
    EXPECT_EQ(one.vProb[1], 1.0);
}

// A QUAL of "*" has one character; the positions beyond it score 0, like unknown characters.
TEST(MCMCcalculator, ShortQualityTextScoresZeroAndUnknownCharactersAreNotAdded) {
    Multiread m(2, 6, 20);
    m.vEvidence[0][3] = {Entry(true, '5'), Entry(true, '?'), Entry(false, ' ')};
    m.vZ[0][3] = true;
    m.vCounts = {4, 4};
    m.vQualities = {"*", "AAAAAA"};
    std::map<char, double> scores = SCORES;
    Output star(m);
    MCMCcalculator calc(m.iN, m.iL, m.iT, 5, 0.1);
    RunFast(calc, m, scores, star);
    EXPECT_EQ(scores, SCORES);

    m.vQualities[0] = "!!!!!!";
    Output unknown(m);
    RunFast(m, 5, 0.1, SCORES, unknown);
    EXPECT_TRUE(SameBits(star.vProb, unknown.vProb));
    EXPECT_TRUE(SameBits(star.vDrawValues, unknown.vDrawValues));
}

// One object serves many multireads; each call starts the stream afresh.
TEST(MCMCcalculator, RepeatedCallsOnOneObjectRepeatTheResult) {
    std::mt19937 gen(7);
    Multiread m = RandomMultiread(gen);
    m.iT = 30;
    MCMCcalculator calc(m.iN, m.iL, m.iT, 10, 0.1);
    calc.CreateCurrDraw(1, 1);  // too small: Run makes its own
    std::map<char, double> scores = SCORES;
    Output first(m);
    RunFast(calc, m, scores, first);
    Output second(m);
    RunFast(calc, m, scores, second);
    EXPECT_TRUE(SameBits(first.vProb, second.vProb));
    EXPECT_TRUE(SameBits(first.vDrawValues, second.vDrawValues));
    Output fresh(m);
    RunFast(m, 10, 0.1, SCORES, fresh);
    EXPECT_TRUE(SameBits(first.vProb, fresh.vProb));
}

TEST(MCMCcalculator, TwoThreadsAtOnceGiveIdenticalResults) {
    Multiread m(3, 36, 300);
    std::mt19937 gen(11);
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 36; ++k)
            for (int i = 0; i < 1 + (j + k) % 20; ++i) m.vEvidence[j][k].push_back(Entry(gen() % 10 == 0, 'A'));
    m.vCounts = {5, 12, 3};
    m.vZ[0][4] = m.vZ[1][30] = true;
    std::map<char, double> scores = SCORES;  // shared read-only, as in a real run
    Output a(m);
    Output b(m);
#pragma omp parallel sections num_threads(2)
    {
#pragma omp section
        RunFast(m, 100, 0.1, scores, a);
#pragma omp section
        RunFast(m, 100, 0.1, scores, b);
    }
    EXPECT_TRUE(SameBits(a.vProb, b.vProb));
    EXPECT_TRUE(SameBits(a.vDrawValues, b.vDrawValues));
    EXPECT_NEAR(Sum(a.vProb), 1.0, 1e-12);
}

// The optimised sampler against the plain one, on thousands of random multireads: every
// probability and every row of the chain must have the same bits.
TEST(MCMCcalculator, MatchesThePlainSamplerBitForBit) {
    std::mt19937 gen(2024);
    std::uniform_int_distribution<int> pickB(0, 16);
    const double rates[] = {0.1, 0.1, 0.1, 0.5, 1.0, 2.3};
    // 0 and 1 give logs of 0; 1e-300 makes likelihoods underflow
    const double starts[] = {1e-06, 1e-06, 1e-300, 0.3, 0.0, 1.0};
    for (int iCase = 0; iCase < 3000; ++iCase) {
        Multiread m = RandomMultiread(gen);
        int iB = pickB(gen);
        double dRate = rates[iCase % 6];
        double dStart = starts[(iCase / 6) % 6];
        Output fast(m, dStart);
        Output plain(m, dStart);
        RunFast(m, iB, dRate, SCORES, fast);
        RunPlain(m, iB, dRate, SCORES, plain);
        ASSERT_TRUE(SameBits(fast.vProb, plain.vProb)) << "case " << iCase;
        ASSERT_TRUE(SameBits(fast.vDrawValues, plain.vDrawValues)) << "case " << iCase;
    }
}

// A chain long enough to read past the shared table of uniforms into the generator.
TEST(MCMCcalculator, LongChainMatchesThePlainSamplerBitForBit) {
    Multiread m(5, 60, 400);
    std::mt19937 gen(99);
    const char qualities[] = "#5AIZ";
    for (int j = 0; j < 5; ++j) {
        m.vCounts[j] = 20;
        m.vZ[j][j * 7] = true;
        for (int k = 0; k < 60; ++k)
            for (int i = 0; i < 12; ++i) m.vEvidence[j][k].push_back(Entry(gen() % 20 == 0, qualities[gen() % 5]));
    }
    Output fast(m);
    Output plain(m);
    RunFast(m, 100, 0.1, SCORES, fast);
    RunPlain(m, 100, 0.1, SCORES, plain);
    EXPECT_TRUE(SameBits(fast.vProb, plain.vProb));
    EXPECT_TRUE(SameBits(fast.vDrawValues, plain.vDrawValues));
    EXPECT_NEAR(Sum(fast.vProb), 1.0, 1e-12);
}
