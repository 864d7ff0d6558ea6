#ifndef KORVEX_GAMMABOUNDS_H
#define KORVEX_GAMMABOUNDS_H

#include <algorithm>
#include <cmath>
#include <vector>

// Cheap bounds that decide the accept/reject tests of the gamma draws without pow, log or
// exp whenever they prove the outcome that the exact expression, as computed in double
// precision with the library's functions, would give. Every bound is widened by a relative
// margin (1e-12) far beyond the library's error (under one unit in the last place, 2^-52
// relative) and the roundings of the bound's own arithmetic; what the bounds cannot prove is
// left Undecided, and the caller then evaluates the exact expression. So the draws keep
// their bits: the bounds only skip work whose outcome is already known.
enum class Verdict { Accept, Reject, Undecided };

namespace gammabounds {
const double kMargin = 1e-12;   // relative widening of every bound
const double kTiny = 1e-300;    // absolute widening where a value may be subnormal
const double kSmallest = 1e-280;  // below this, a rejection is not decided (t might overflow)

// x^n for n >= 1 by repeated squaring: relative error at most (n - 1) 2^-53 while no
// intermediate result is subnormal (all are >= the result, as x <= 1).
inline double IntegerPower(double x, int n) {
    double dResult = 1.0;
    for (;;) {
        if (n & 1) dResult *= x;
        n >>= 1;
        if (n == 0) return dResult;
        x *= x;
    }
}

// For x >= 0 the Taylor polynomials of exp(-x) of odd degree lie below it and those of
// even degree above it (the remainder has the sign of the first omitted term).
inline double ExpLowerBound(double x) {
    return 1.0 - x * (1.0 - x * 0.5 * (1.0 - x * (1.0 / 3) * (1.0 - x * 0.25 * (1.0 - x * 0.2))));
}
inline double ExpUpperBound(double x) { return 1.0 - x * (1.0 - x * 0.5 * (1.0 - x * (1.0 / 3) * (1.0 - x * 0.25))); }
}  // namespace gammabounds

// The fractional part 0 < f < 1 of a gamma shape, drawn by acceptance-rejection.
class FractionBounds {
public:
    // From g = 1 / f as the draw computes it. Shapes with g above 1000 are never decided
    // (the integer power would need too many roundings).
    static FractionBounds Make(double dInverseFraction) {
        FractionBounds bounds{0, 0.0, 1.0};
        if (dInverseFraction > 1.0 && dInverseFraction <= 1000.0) {
            bounds.iWhole = static_cast<int>(dInverseFraction);
            bounds.dRest = dInverseFraction - bounds.iWhole;  // exact
            bounds.dRestComplement = 1.0 - bounds.dRest;
        }
        return bounds;
    }

    // First branch, for a uniform 0 <= v1 < 1: xi = pow(v1, g), t = pow(xi, f - 1), and the
    // round is rejected when v2 * t > t * exp(-xi).
    // With g = n + d (n whole, 0 <= d < 1), v1^g = v1^n v1^d, and for 0 < v1 < 1
    // max(v1, 1 - d (1 - v1) / v1) <= v1^d <= v1 + (1 - d)(1 - v1)
    // (exp(z) >= 1 + z with ln v1 >= 1 - 1 / v1, and the concavity of v1^d). The bounds of
    // xi then bound exp(-xi) by Taylor polynomials. v2 below the lower bound gives
    // v2 * t <= t * exp(-xi) after rounding (monotone); above the upper bound, strictly more,
    // provided t is finite, which xi >= kSmallest ensures.
    Verdict DecideFirst(double v1, double v2) const {
        using namespace gammabounds;
        if (iWhole == 0) return Verdict::Undecided;
        double dPower = IntegerPower(v1, iWhole);
        double dOneMinusV = 1.0 - v1;
        double dHigh = dPower * (v1 + dRestComplement * dOneMinusV) * (1.0 + kMargin) + kTiny;
        if (v2 < ExpLowerBound(dHigh) * (1.0 - kMargin)) return Verdict::Accept;
        // The 1e-15 covers the roundings of 1 - d (1 - v1) / v1 where it exceeds v1.
        double dLowFactor = std::max(v1, 1.0 - dRest * dOneMinusV / v1 - 1e-15);
        double dLow = dPower * dLowFactor * (1.0 - kMargin) - kTiny;
        if (dLow >= kSmallest && v2 > ExpUpperBound(dLow) * (1.0 + kMargin)) return Verdict::Reject;
        return Verdict::Undecided;
    }

    // Second branch, given xi = 1 - log(v1) as computed: the round is rejected when
    // v2 * exp(-xi) > pow(xi, f - 1) * exp(-xi). For xi >= 1 and 0 < f < 1,
    // 1 / xi <= xi^(f - 1) = xi^f / xi <= (1 + f (xi - 1)) / xi (Bernoulli). Up to xi = 600
    // exp(-xi) is a normal number, so a strict order of v2 and pow(...) survives rounding.
    static Verdict DecideSecond(double xi, double v2, double f) {
        using namespace gammabounds;
        if (!(xi >= 1.0 && xi <= 600.0)) return Verdict::Undecided;
        double dProduct = v2 * xi;
        if (dProduct < 1.0 - kMargin) return Verdict::Accept;
        if (dProduct > (1.0 + f * (xi - 1.0)) * (1.0 + kMargin)) return Verdict::Reject;
        return Verdict::Undecided;
    }

    int iWhole;              // floor(g), or 0: never decided
    double dRest;            // d = g - floor(g)
    double dRestComplement;  // 1 - d
};

// The tangent rejection test of a whole shape n > 5, with am = n - 1 and s = sqrt(2 am + 1):
// a proposal y gives x = s y + am > 0 and is accepted when u <= e(y) with
// e(y) = (1 + y^2) exp(am ln(x / am) - s y). In exact arithmetic e rises on x > 0, y < 0 to
// its peak e(0) = 1 and falls for y > 0 (d ln e / dy = -y (s y - 1)^2 / (x (1 + y^2))), so
// on a small bin of y it lies between its values at the ends. A table per shape keeps, for
// bins of width 1/32 over [max(-am/s, -8), 8), those end values widened by the computed
// expression's own error bound (derived from the roundings of x, x / am, log, the products
// and the difference, whose cancellation is what the bound is mostly about) and by the bin
// ends' error; beyond 8 one upper bound of the falling tail rejects. One table per shape
// for the whole process, built on first use.
class TangentBounds {
public:
    // The shared table of whole shape n (n > 5), or null when none is kept.
    static const TangentBounds* Shared(int iWhole);
    explicit TangentBounds(int iWhole);
    TangentBounds(const TangentBounds&) = delete;
    TangentBounds& operator=(const TangentBounds&) = delete;

    Verdict Decide(double y, double u) const {
        if (y >= dStart && y < dEnd) {
            const Bin& bin = pBins[static_cast<int>((y - dStart) * kBinsPerUnit)];
            if (u < bin.dLow) return Verdict::Accept;
            if (u > bin.dHigh) return Verdict::Reject;
            return Verdict::Undecided;
        }
        if (y >= dEnd && y <= kTailEnd && u > dTailHigh) return Verdict::Reject;
        return Verdict::Undecided;
    }

    // The acceptance threshold e(y) exactly as the draw evaluates it.
    static double Ratio(double am, double s, double y) {
        double x = s * y + am;
        return (1.0 + y * y) * std::exp(am * std::log(x / am) - s * y);
    }

private:
    struct Bin {
        double dLow;   // below: accept
        double dHigh;  // above: reject
    };
    static constexpr double kBinsPerUnit = 32.0;
    static constexpr double kReach = 8.0;
    static constexpr double kTailEnd = 8589934592.0;  // 2^33 > 1 / d1 for every uniform d1 > 0

    std::vector<Bin> vBins;
    const Bin* pBins;   // vBins.data()
    double dStart;      // a multiple of 1 / 32 at or below -am / s, and at least -8
    double dEnd;        // 8
    double dTailHigh;   // bounds e(y) from above for 8 <= y <= 2^33
};

#endif
