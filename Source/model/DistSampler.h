#ifndef KORVEX_DISTSAMPLER_H
#define KORVEX_DISTSAMPLER_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "GammaBounds.h"
#include "SimpleRNG.h"
#include "TangentJumps.h"
#include "TenthPower.h"
#include "UniformPowers.h"
#include "UniformTable.h"

// The draws are forced inline into the sampler's loops: only then does a local DistSampler
// stay in registers (its address must not escape to a call).
#if defined(__GNUC__)
#define KORVEX_FORCE_INLINE inline __attribute__((always_inline))
#else
#define KORVEX_FORCE_INLINE inline
#endif

// Where a sampler reads the stream: a chunk of the shared table, or, past the chunks kept,
// values generated in blocks, with the generator's state after the last of them. Owned by the
// caller of one sampler (one per thread) and reused from multiread to multiread. A refill of
// the block keeps the up to kCarry values not yet read just before the kSize new ones, so the
// block always ends at the same place.
struct UniformBlock {
    static const int kSize = 4096;
    static const int kCarry = 8;
    unsigned int uW;  // the generator's state after the block's last value
    unsigned int uZ;
    double adValues[kCarry + kSize];
    // What the sampler reads after a refill: the end of its readable values, and, in a chunk
    // of the table, that chunk's end (null in the block) and the address of stream position 0
    // as an integer, from which the position of any value in the chunk follows.
    const double* pReadEnd;
    const double* pTableEnd;
    std::uintptr_t uOrigin;

    const double* End() const { return adValues + kCarry + kSize; }
    // Generates the kSize values that follow state (uW, uZ) into the block's end, and advances
    // the state past them.
    void Generate();
    // Reads chunk k of the table, whose values are at pChunk.
    void ReadChunk(std::size_t k, const double* pChunk);
};

// Uniform, gamma and beta variates drawn from the stream of the default seeds. The stream of
// variates is fixed by the seeds: every draw consumes a fixed pattern of uniforms.
class DistSampler {
public:
    // The constants of a gamma draw of one shape a, computed once so that a caller drawing
    // the same shape many times need not recompute them. Built exactly as a draw builds them.
    struct GammaShape {
        int iWhole;              // n = floor(a)
        double dFraction;        // f = a - n
        double dFractionBound;   // E / (f + E)
        double dInverseFraction; // 1 / f
        bool bTenthPower;        // 1 / f is 10: pow(v, 1 / f) is TenthPower(v)
        double dFractionPower;   // f - 1
        double dAm;              // n - 1, used when n > 5
        double dRoot;            // sqrt(2 (n - 1) + 1), used when n > 5
        const FractionBounds* pFraction;  // shared, when f > 0: decides most rounds of Gamma(f)
        const TangentBounds* pTangent;    // shared, when n > 5: decides most tangent proposals
        const TangentJumps* pJumps;       // shared, when 5 < n <= TangentJumps::kMaxShape
        const UniformPowers* pPowers;     // shared, when f > 0: pow(u, 1 / f) of the table's uniforms
    };
    static GammaShape MakeGammaShape(double a);

    // Reads the stream from the chunks of table, then from values generated into block, which
    // this sampler and its copies then use (the copy that draws last carries the stream on).
    DistSampler(const UniformTable& table, UniformBlock& block);

    double runif() {
        Ensure(1);
        return *pNext++;
    }
    // One Gamma(a) variate divided by rate.
    double rgamma(double a, double rate) { return rgamma(MakeGammaShape(a), rate); }
    KORVEX_FORCE_INLINE double rgamma(const GammaShape& shape, double rate);
    // One Beta(a, b) variate, as G1 / (G1 + G2) of two gamma draws at rate 10, G1 first.
    double rbeta(double a, double b) { return rbeta(MakeGammaShape(a), MakeGammaShape(b)); }
    KORVEX_FORCE_INLINE double rbeta(const GammaShape& a, const GammaShape& b);
    // The same for a whole b (no fractional part), with fewer tests.
    KORVEX_FORCE_INLINE double rbetaWhole(const GammaShape& a, const GammaShape& b);
    // Asks the processor to load the jump of a tangent draw of shape that would start
    // iAhead values on; a jump's cache line serves 128 starts, so a near guess is enough.
    void PrefetchJump(const GammaShape& shape, int iAhead) const {
        if (shape.pJumps && pEnd == pTableEnd && pEnd - pNext > iAhead) shape.pJumps->Prefetch(Position(pNext + iAhead));
    }

private:
    // The longest run of values read after one check.
    static const int kMaxRun = 8;

    // Makes the next n <= kMaxRun values readable at pNext.
    KORVEX_FORCE_INLINE void Ensure(int n) {
        if (pEnd - pNext < n) {
            pNext = Refill(pNext, pEnd, pBlock);
            pEnd = pBlock->pReadEnd;
            pTableEnd = pBlock->pTableEnd;
            uOrigin = pBlock->uOrigin;
        }
    }
    static_assert(kMaxRun <= UniformBlock::kCarry, "a refill keeps the values of one run");
    static_assert(kMaxRun <= UniformTable::kLead, "a chunk holds the values of one run before it");
    // Returns where the values from pNext on are read next: in the next chunk of the table when
    // it is kept, else in the block, generating them. Static, so that a sampler kept in
    // registers never has its address taken.
    static const double* Refill(const double* pNext, const double* pEnd, UniformBlock* pBlock);
    // The stream position of a value read from a chunk of the table.
    std::size_t Position(const double* pValue) const {
        return (reinterpret_cast<std::uintptr_t>(pValue) - uOrigin) / sizeof(double);
    }
    KORVEX_FORCE_INLINE double GammaWholePart(const GammaShape& shape);
    KORVEX_FORCE_INLINE double GammaWhole(const GammaShape& shape, double rate);
    KORVEX_FORCE_INLINE static double ProductOf(const double* pValues, int n);
    KORVEX_FORCE_INLINE double GammaTangent(const GammaShape& shape);
    KORVEX_FORCE_INLINE double GammaFractionPart(const GammaShape& shape);
    // pow(*pValue, 1 / f) for a value just read.
    KORVEX_FORCE_INLINE double InversePower(const GammaShape& shape, const double* pValue) const {
        if (shape.pPowers && pEnd == pTableEnd) return shape.pPowers->Power(Position(pValue), *pValue);
        if (shape.bTenthPower) return TenthPower(*pValue);
        return std::pow(*pValue, shape.dInverseFraction);
    }

    const double* pNext;   // next unread value, in a chunk of the shared table or in *pBlock
    const double* pEnd;    // end of the values readable there
    UniformBlock* pBlock;  // not owned
    const double* pTableEnd;  // the end of the chunk read, where pEnd == pTableEnd
    std::uintptr_t uOrigin;   // see UniformBlock::uOrigin
};

KORVEX_FORCE_INLINE double DistSampler::rgamma(const GammaShape& shape, double rate) {
    double x = GammaWholePart(shape);
    double xi = GammaFractionPart(shape);
    return (x + xi) / rate;
}

KORVEX_FORCE_INLINE double DistSampler::rbeta(const GammaShape& a, const GammaShape& b) {
    const double rate = 10.0;
    double g1 = rgamma(a, rate);
    double g2 = rgamma(b, rate);
    return g1 / (g1 + g2);
}

KORVEX_FORCE_INLINE double DistSampler::rbetaWhole(const GammaShape& a, const GammaShape& b) {
    const double rate = 10.0;
    double g1 = rgamma(a, rate);
    double g2 = GammaWhole(b, rate);
    return g1 / (g1 + g2);
}

// rgamma for a whole shape: the fractional part f = 0 consumes three uniforms and adds +0.
// From 1 to 5, the product and those three are read after one check.
KORVEX_FORCE_INLINE double DistSampler::GammaWhole(const GammaShape& shape, double rate) {
    double x = 0.0;
    if (shape.iWhole > 5) {
        x = GammaTangent(shape);
        Ensure(3);
        pNext += 3;
    } else if (shape.iWhole >= 1) {
        Ensure(8);  // the five values of the product and the three of the fraction
        x = -std::log(ProductOf(pNext, shape.iWhole));
        pNext += shape.iWhole + 3;
    } else {
        Ensure(3);
        pNext += 3;
    }
    return (x + 0.0) / rate;
}

// The product of the n <= 5 values from pValues, in order; past the n-th it multiplies by 1.0
// (exact) rather than branching on n, so all five must be readable.
KORVEX_FORCE_INLINE double DistSampler::ProductOf(const double* pValues, int n) {
    double product = pValues[0];
    product *= n > 1 ? pValues[1] : 1.0;
    product *= n > 2 ? pValues[2] : 1.0;
    product *= n > 3 ? pValues[3] : 1.0;
    product *= n > 4 ? pValues[4] : 1.0;
    return product;
}

// Gamma(n) for the integer part n of the shape: the tangent rejection method above 5,
// the log of a product of n uniforms from 1 to 5, nothing below 1.
KORVEX_FORCE_INLINE double DistSampler::GammaWholePart(const GammaShape& shape) {
    if (shape.iWhole > 5) return GammaTangent(shape);
    if (shape.iWhole >= 1) {
        Ensure(5);
        const double product = ProductOf(pNext, shape.iWhole);
        pNext += shape.iWhole;
        return -std::log(product);
    }
    return 0.0;
}

// Gamma(n) for n > 5 by tangent rejection. In the shared table, the jumps give the accepted
// proposal at once (never past the chunk's end); elsewhere the proposals are tried one by one.
KORVEX_FORCE_INLINE double DistSampler::GammaTangent(const GammaShape& shape) {
    const double am = shape.dAm;
    const double s = shape.dRoot;
    if (shape.pJumps && pEnd == pTableEnd && pNext != pTableEnd) {
        const int iJump = shape.pJumps->Jump(Position(pNext));
        if (iJump != TangentJumps::kFar) {
            const double* p = pNext + iJump;
            pNext = p + 3;
            return s * ((2.0 * p[1] - 1.0) / p[0]) + am;
        }
    }
    for (;;) {
        Ensure(3);
        const int iStep = TangentProposal(pNext, am, s, shape.pTangent);
        if (iStep == 0) {
            const double x = s * ((2.0 * pNext[1] - 1.0) / pNext[0]) + am;
            pNext += 3;
            return x;
        }
        pNext += iStep;
    }
}

// Gamma(f) for the fractional part 0 <= f < 1 by acceptance-rejection. With f = 0 the first
// round always accepts 0 (V1 to the power +inf is 0, and the test compares +inf with +inf or
// NaN), so its three uniforms are consumed without computing anything. The bounds decide
// most rounds; pow(v1, 1 / f) is then computed only for the accepted one.
KORVEX_FORCE_INLINE double DistSampler::GammaFractionPart(const GammaShape& shape) {
    if (shape.dFraction == 0.0) {
        Ensure(3);
        pNext += 3;
        return 0.0;
    }
    for (;;) {
        Ensure(3);
        const double v0 = pNext[0];
        const double v1 = pNext[1];
        const double v2 = pNext[2];
        pNext += 3;
        if (shape.dFractionBound >= v0) {
            Verdict verdict = shape.pFraction->DecideFirst(v1, v2);
            if (verdict == Verdict::Reject) continue;
            double xi = InversePower(shape, pNext - 2);
            if (verdict == Verdict::Accept) return xi;
            double t = std::pow(xi, shape.dFractionPower);
            if (v2 * t > t * std::exp(-xi)) continue;
            return xi;
        }
        double xi = 1.0 - std::log(v1);
        Verdict verdict = FractionBounds::DecideSecond(xi, v2, shape.dFraction);
        if (verdict == Verdict::Reject) continue;
        if (verdict == Verdict::Undecided) {
            double g = std::exp(-xi);
            if (v2 * g > std::pow(xi, shape.dFractionPower) * g) continue;
        }
        return xi;
    }
}

#endif
