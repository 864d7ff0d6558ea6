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
const double kMargin = 1e-12;     // relative widening of every bound
const double kSmallest = 1e-280;  // below this, a rejection is not decided (t might overflow)
}  // namespace gammabounds

// The fractional part 0 < f < 1 of a gamma shape, drawn by acceptance-rejection in rounds of
// three uniforms v0, v1, v2 (0 <= v < 1).
class FractionBounds {
public:
    // The shared table of g = 1 / f as the draw computes it, built on first use.
    static const FractionBounds* Shared(double dInverseFraction);
    explicit FractionBounds(double dInverseFraction);
    FractionBounds(const FractionBounds&) = delete;
    FractionBounds& operator=(const FractionBounds&) = delete;

    // First branch: xi = pow(v1, g), t = pow(xi, f - 1), and the round is rejected when
    // v2 * t > t * exp(-xi). exp(-v1^g) falls as v1 rises, so on a bin of v1 it lies between
    // its values at the bin's ends, and the computed exp(-xi) is within 5 units of 2^-53 of
    // it (pow's error moves it by at most 2 units since xi <= 1; exp adds 2), as are the
    // table's computed end values. v2 below the bin's low bound is below exp(-xi), so
    // v2 * t <= t * exp(-xi) after rounding (monotone): accepted. v2 above the high bound
    // exceeds exp(-xi) by more than the roundings of the products, so it is rejected, provided
    // t is finite: a bin whose left end gives xi < kSmallest never rejects.
    Verdict DecideFirst(double v1, double v2) const {
        const Bin& bin = pBins[static_cast<int>(v1 * kBins)];  // exact: kBins is a power of 2
        if (v2 < bin.dLow) return Verdict::Accept;
        if (v2 > bin.dHigh) return Verdict::Reject;
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

private:
    struct Bin {
        double dLow;   // below: accept
        double dHigh;  // above: reject
    };
    static constexpr double kBins = 256.0;

    std::vector<Bin> vBins;  // bin i holds v1 in [i / 256, (i + 1) / 256)
    const Bin* pBins;        // vBins.data()
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
