#include "DistSampler.h"

#include <cmath>

namespace {
const double E = 2.718281828459045;
const double BETA_GAMMA_RATE = 10.0;
const std::size_t UNIFORM_TABLE_SIZE = 1 << 20;
}  // namespace

UniformTable::UniformTable(std::size_t iSize) : vValues(iSize) {
    SimpleRNG rng;
    for (double& d : vValues) d = rng.GetUniform();
    rng.GetState(uEndW, uEndZ);
}

const UniformTable& UniformTable::Shared() {
    static const UniformTable table(UNIFORM_TABLE_SIZE);
    return table;
}

DistSampler::DistSampler(const UniformTable& table) : pNext(table.Begin()), pEnd(table.End()) {
    unsigned int w = 0;
    unsigned int z = 0;
    table.GetEndState(w, z);
    rng.SetState(w, z);
}

DistSampler::GammaShape DistSampler::MakeGammaShape(double a) {
    GammaShape shape;
    shape.iWhole = static_cast<int>(std::floor(a));
    shape.dFraction = a - shape.iWhole;
    shape.dFractionBound = E / (shape.dFraction + E);
    shape.dInverseFraction = 1.0 / shape.dFraction;
    shape.dFractionPower = shape.dFraction - 1.0;
    shape.dAm = shape.iWhole - 1;
    shape.dRoot = std::sqrt(2.0 * shape.dAm + 1.0);
    shape.fractionBounds = FractionBounds::Make(shape.dInverseFraction);
    shape.pTangent = TangentBounds::Shared(shape.iWhole);
    return shape;
}

double DistSampler::rgamma(const GammaShape& shape, double rate) {
    double x = GammaWholePart(shape);
    double xi = GammaFractionPart(shape);
    return (x + xi) / rate;
}

double DistSampler::rbeta(const GammaShape& a, const GammaShape& b) {
    double g1 = rgamma(a, BETA_GAMMA_RATE);
    double g2 = rgamma(b, BETA_GAMMA_RATE);
    return g1 / (g1 + g2);
}

// Gamma(n) for the integer part n of the shape: the tangent rejection method above 5,
// the log of a product of n uniforms from 1 to 5, nothing below 1. The bounds decide most
// tangent proposals; only the undecided ones evaluate the threshold.
double DistSampler::GammaWholePart(const GammaShape& shape) {
    if (shape.iWhole > 5) {
        const double am = shape.dAm;
        const double s = shape.dRoot;
        for (;;) {
            double d1;
            double d2;
            do {
                d1 = NextUniform();
                d2 = 2.0 * NextUniform() - 1.0;
            } while (d1 * d1 + d2 * d2 > 1.0);
            double y = d2 / d1;
            double x = s * y + am;
            if (x <= 0.0) continue;
            double u = NextUniform();
            Verdict verdict = shape.pTangent ? shape.pTangent->Decide(y, u) : Verdict::Undecided;
            if (verdict == Verdict::Reject) continue;
            if (verdict == Verdict::Undecided && u > TangentBounds::Ratio(am, s, y)) continue;
            return x;
        }
    }
    if (shape.iWhole >= 1) {
        double product = 1.0;
        for (int i = 0; i < shape.iWhole; ++i) product *= NextUniform();
        return -std::log(product);
    }
    return 0.0;
}

// Gamma(f) for the fractional part 0 <= f < 1 by acceptance-rejection. With f = 0 the first
// round always accepts 0 (V1 to the power +inf is 0, and the test compares +inf with +inf or
// NaN), so its three uniforms are consumed without computing anything. The bounds decide
// most rounds; pow(v1, 1 / f) is then computed only for the accepted one.
double DistSampler::GammaFractionPart(const GammaShape& shape) {
    if (shape.dFraction == 0.0) {
        NextUniform();
        NextUniform();
        NextUniform();
        return 0.0;
    }
    for (;;) {
        double v0 = NextUniform();
        double v1 = NextUniform();
        double v2 = NextUniform();
        if (shape.dFractionBound >= v0) {
            Verdict verdict = shape.fractionBounds.DecideFirst(v1, v2);
            if (verdict == Verdict::Reject) continue;
            double xi = std::pow(v1, shape.dInverseFraction);
            if (verdict == Verdict::Accept) return xi;
            double t = std::pow(xi, shape.dFractionPower);
            if (v2 * t > t * std::exp(-xi)) continue;
            return xi;
        }
        double xi = 1.0 - std::log(v1);
        Verdict verdict = FractionBounds::DecideSecond(xi, v2, shape.dFraction);
        if (verdict == Verdict::Reject) continue;
        if (verdict == Verdict::Accept) return xi;
        double g = std::exp(-xi);
        if (v2 * g > std::pow(xi, shape.dFractionPower) * g) continue;
        return xi;
    }
}
