#include "GammaBounds.h"

#include <map>
#include <memory>
#include <mutex>

namespace {
const double kUnit = 1.1102230246251565e-16;  // 2^-53, the relative rounding of one operation
// Bin ends are moved out by this much, so that a y whose computed bin index rounds into a
// neighbouring bin (by at most a few units of 2^-48) is still covered.
const double kSlack = 1e-9;
const double kLowest = 1e-290;  // bounds below this are not trusted (subnormal results)
const int kMaxSharedShape = 1000000;

// Bounds |ln(computed e(y) / exact e(y))| for yLow <= y <= yHigh, with x > 0 on the range
// (infinite otherwise), in units of 2^-53: x = fl(s y + am) is off by (|s y| + x) units,
// which x / am, log and am * log turn into am (|s y| + x) / x; log, am * log and the
// difference add 2 am |ln(x / am)|, am |ln(x / am)| and the size of the difference
// (am |ln(x / am)| + |s y|); the product s y, x / am, exp, y * y, 1 + y * y and the last
// product add a few more. Every term is taken with at least twice its size.
double ErrorBound(double am, double s, double yLow, double yHigh) {
    double xLow = s * yLow + am;
    double xHigh = s * yHigh + am;
    if (!(xLow > 0)) return INFINITY;
    double sY = s * std::max(std::fabs(yLow), std::fabs(yHigh));
    double dLog = std::max(std::fabs(std::log(xLow / am)), std::fabs(std::log(xHigh / am))) + 1.0;
    return kUnit * (4 * am * dLog + 2 * am * (sY + xHigh) / xLow + 2 * am + 2 * sY + 6);
}

// The relative widening of bounds taken from computed values at the ends of a range: the
// error of the end values plus that of the value in between, and e^z - 1 <= 2 z.
double Margin(double am, double s, double yLow, double yHigh) {
    return 4 * ErrorBound(am, s, yLow, yHigh) + gammabounds::kMargin;
}

// The one table of each key for the whole process, built on first use under a lock; the map
// never shrinks and a table is read-only once built, so its pointer stays valid.
template <class Table, class Key>
const Table* SharedTable(Key key) {
    static std::mutex mutex;
    static std::map<Key, std::unique_ptr<Table>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<Table>& pTable = tables[key];
    if (!pTable) pTable.reset(new Table(key));
    return pTable.get();
}

}  // namespace

FractionBounds::FractionBounds(double dInverseFraction) : vBins(static_cast<int>(kBins)) {
    const double g = dInverseFraction;
    double xiLeft = std::pow(0.0, g);
    double eLeft = std::exp(-xiLeft);
    for (int i = 0; i < static_cast<int>(kBins); ++i) {
        double xiRight = std::pow((i + 1) / kBins, g);
        double eRight = std::exp(-xiRight);
        vBins[i].dLow = eRight * (1.0 - gammabounds::kMargin);
        vBins[i].dHigh = xiLeft >= gammabounds::kSmallest ? eLeft * (1.0 + gammabounds::kMargin) : INFINITY;
        xiLeft = xiRight;
        eLeft = eRight;
    }
    pBins = vBins.data();
}

const FractionBounds* FractionBounds::Shared(double dInverseFraction) {
    return SharedTable<FractionBounds>(dInverseFraction);
}

TangentBounds::TangentBounds(int iWhole) {
    const double am = iWhole - 1;  // as DistSampler::MakeGammaShape computes them
    const double s = std::sqrt(2.0 * am + 1.0);
    dStart = std::max(-kReach, std::floor(-am / s * kBinsPerUnit) / kBinsPerUnit);
    dEnd = kReach;
    // One more bin than [dStart, dEnd) needs: a y just below dEnd may round to its index.
    int iBins = static_cast<int>((dEnd - dStart) * kBinsPerUnit) + 1;
    vBins.resize(iBins);
    for (int i = 0; i < iBins; ++i) {
        double yLow = dStart + i / kBinsPerUnit - kSlack;
        double yHigh = dStart + (i + 1) / kBinsPerUnit + kSlack;
        double dMargin = Margin(am, s, yLow, yHigh);
        Bin& bin = vBins[i];
        if (!(dMargin < 1e-3)) {  // x reaches 0 in the bin: never decided
            bin.dLow = 0.0;
            bin.dHigh = INFINITY;
            continue;
        }
        double eLow = Ratio(am, s, yLow);
        double eHigh = Ratio(am, s, yHigh);
        bin.dLow = std::min(eLow, eHigh) * (1.0 - dMargin);
        if (bin.dLow < kLowest) bin.dLow = 0.0;
        double dPeak = yLow < 0.0 && yHigh > 0.0 ? 1.0 : std::max(eLow, eHigh);
        bin.dHigh = std::max(dPeak * (1.0 + dMargin), kLowest);
    }
    pBins = vBins.data();
    double dTailMargin = Margin(am, s, dEnd, kTailEnd);
    dTailHigh = dTailMargin < 0.5 ? std::max(Ratio(am, s, dEnd) * (1.0 + dTailMargin), kLowest) : INFINITY;
}

const TangentBounds* TangentBounds::Shared(int iWhole) {
    if (iWhole <= 5 || iWhole > kMaxSharedShape) return nullptr;
    return SharedTable<TangentBounds>(iWhole);
}
