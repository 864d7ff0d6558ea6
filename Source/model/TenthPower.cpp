#include "TenthPower.h"

#include <cstdint>
#include <cstring>

namespace tenth_power_detail {

const bool bUseFusedMultiplyAdd = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma") != 0;
}();

namespace {

// a * b as hi + lo exactly.
__attribute__((target("fma"))) inline double ProductError(double a, double b, double hi) {
    return __builtin_fma(a, b, -hi);
}

// The unit in the last place of a positive normal x that is not a power of two; 0 otherwise,
// where the unit below x is half the unit above it (or x is 0, subnormal, infinite or NaN).
double UnitInLastPlace(double x) {
    std::uint64_t iBits;
    std::memcpy(&iBits, &x, sizeof x);
    const std::uint64_t iExponent = iBits & 0x7ff0000000000000ULL;
    if ((iBits & 0x000fffffffffffffULL) == 0 || iExponent == 0 || iExponent == 0x7ff0000000000000ULL) return 0.0;
    double dPowerOfTwo;
    std::memcpy(&dPowerOfTwo, &iExponent, sizeof dPowerOfTwo);
    return dPowerOfTwo * 0x1p-52;
}

}  // namespace

// u^2, u^4, u^8 and u^10 each as a sum hi + lo of two doubles: the error of hi's product exactly
// (fused multiply-add) plus the cross terms of the lo parts, whose own roundings and the
// dropped lo * lo terms are below 2^-100 of the power.
__attribute__((target("fma"))) bool NearestIsCertain(double u, double& dPower) {
    const double d2 = u * u;
    const double e2 = ProductError(u, u, d2);
    const double d4 = d2 * d2;
    const double e4 = ProductError(d2, d2, d4) + 2.0 * d2 * e2;
    const double d8 = d4 * d4;
    const double e8 = ProductError(d4, d4, d8) + 2.0 * d4 * e4;
    const double d10 = d8 * d2;
    const double e10 = ProductError(d8, d2, d10) + (d8 * e2 + e8 * d2);
    const double dNearest = d10 + e10;
    const double dRemainder = (d10 - dNearest) + e10;  // exact: |e10| is far below |d10|
    const double dUnit = UnitInLastPlace(dNearest);
    if (!(std::fabs(dRemainder) <= 0.45 * dUnit) || dUnit == 0.0) return false;
    dPower = dNearest;
    return true;
}

}  // namespace tenth_power_detail
