#ifndef KORVEX_UNIFORMPOWERS_H
#define KORVEX_UNIFORMPOWERS_H

#include <atomic>
#include <cmath>
#include <cstddef>

#include "TenthPower.h"
#include "UniformTable.h"

// pow(u, g) for the uniforms u of the shared table and one exponent g, as std::pow computes it.
// The fractional part of a gamma draw returns pow(v1, 1 / f) for the uniform v1 of its
// accepted round; as every multiread's chain reads the same table, that value depends on the
// table position alone, and the chains of a run share it instead of calling pow each time.
// The powers are computed in chunks of the table on first use, by whichever thread needs them
// first (the others call pow meanwhile), within the TableBudget they share with the tangent
// jumps; past it, Power calls pow itself. Only the first exponent asked for gets powers: a
// sampler asks first for that of no variant read, which almost every draw has; the exponents
// of one or more variant reads are rare, and their powers would take the budget from those of
// the common one.
class UniformPowers {
public:
    // The shared powers of exponent g, or null when none are kept.
    static const UniformPowers* Shared(double g);
    explicit UniformPowers(double g);
    ~UniformPowers();
    UniformPowers(const UniformPowers&) = delete;
    UniformPowers& operator=(const UniformPowers&) = delete;

    // pow(u, g), bit for bit, for the value u at table position q.
    double Power(std::size_t q, double u) const {
        const double* pChunk = apChunks[q >> kChunkBits].load(std::memory_order_acquire);
        if (!pChunk) pChunk = FillChunk(q >> kChunkBits);
        if (pChunk == NotKept()) return PowerOf(u);
        return pChunk[q & kChunkMask];
    }

private:
    static constexpr int kChunkBits = 15;  // 256 KB of powers per chunk
    static constexpr std::size_t kChunkPositions = std::size_t(1) << kChunkBits;
    static constexpr std::size_t kChunkMask = kChunkPositions - 1;
    static constexpr std::size_t kChunks = (UniformTable::kMaxChunks * UniformTable::kChunkSize) >> kChunkBits;

    double PowerOf(double u) const { return dExponent == 10.0 ? TenthPower(u) : std::pow(u, dExponent); }
    // Claims chunk c and computes it, publishes and returns it; returns NotKept() over the
    // budget or without the table's values, and what is published when another thread claimed
    // it first.
    const double* FillChunk(std::size_t c) const;
    // What a chunk not kept holds: an address no chunk has.
    static const double* NotKept();

    double dExponent;
    // Null until claimed; NotKept() while filled or over the budget; then owned here, written by
    // the thread that claimed it, read-only after.
    mutable std::atomic<const double*> apChunks[kChunks];
};

#endif
