#ifndef KORVEX_TENTHPOWER_H
#define KORVEX_TENTHPOWER_H

#include <cmath>

// u^10 for 0 <= u < 1, bit for bit as std::pow(u, 10.0) gives it, mostly without calling pow.
// The fractional part of a gamma draw of shape c + 0.1 with c = 0 (no variant read, by far the
// most common draw) returns pow(v1, 1 / 0.1), and 1 / 0.1 is exactly 10.
//
// The power is computed to about 100 bits as a sum of two doubles (each product's rounding
// error recovered exactly with a fused multiply-add) and rounded to the nearest double. When
// the exact power lies within 0.45 of a unit in the last place of that double, no other double
// lies within 0.55 units of it, and the library's pow, whose worst-case error is 0.54 units,
// returns that double too. Otherwise (about one power in ten), and on a processor without
// fused multiply-add, pow itself is called.
namespace tenth_power_detail {
bool NearestIsCertain(double u, double& dPower);  // false when undecided
extern const bool bUseFusedMultiplyAdd;
}  // namespace tenth_power_detail

inline double TenthPower(double u) {
    double dPower;
    if (tenth_power_detail::bUseFusedMultiplyAdd && tenth_power_detail::NearestIsCertain(u, dPower)) return dPower;
    return std::pow(u, 10.0);
}

#endif
