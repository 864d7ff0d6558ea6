#ifndef KORVEX_TANGENTJUMPS_H
#define KORVEX_TANGENTJUMPS_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "GammaBounds.h"
#include "UniformTable.h"

// One proposal of the tangent rejection method for a whole gamma shape n > 5, with am = n - 1
// and s = sqrt(2 am + 1), from the three uniforms at p (d1 = p[0], d2 = 2 p[1] - 1,
// y = d2 / d1, x = s y + am, u = p[2]): 0 when it is accepted, otherwise the uniforms it
// consumes, 2 outside the disc d1^2 + d2^2 <= 1 or with x <= 0, 3 when the test rejects it.
// The bounds decide most tests; the others evaluate the threshold.
inline int TangentProposal(const double* p, double am, double s, const TangentBounds* pBounds) {
    const double d1 = p[0];
    const double d2 = 2.0 * p[1] - 1.0;
    if (d1 * d1 + d2 * d2 > 1.0) return 2;
    const double y = d2 / d1;
    const double x = s * y + am;
    if (x <= 0.0) return 2;
    const double u = p[2];
    const Verdict verdict = pBounds ? pBounds->Decide(y, u) : Verdict::Undecided;
    if (verdict == Verdict::Reject) return 3;
    if (verdict == Verdict::Undecided && u > TangentBounds::Ratio(am, s, y)) return 3;
    return 0;
}

// Where a tangent draw of one whole shape accepts, for every start in the shared table of
// uniforms. A draw that starts at table position q tries proposals at q, then 2 or 3 further,
// and so on; as all multireads read the same table, the position of its accepted proposal
// depends on q alone, and is kept here as a jump of 0 to 14 uniforms (4 bits), so that the
// draw needs no rejection loop: it reads the jump and computes x from the accepted proposal.
// kFar stands for a longer jump, a walk that leaves the chunk of the table where it starts
// (UniformTable::kChunkSize), or a part of the table not kept; the draw then runs the loop. The jumps are filled in chunks of the table on first
// use, by whichever thread needs them first (the others run the loop meanwhile), within the
// TableBudget they share with the powers. One object per shape for the whole process.
class TangentJumps {
public:
    static constexpr int kFar = 15;
    static constexpr int kMaxShape = 64;  // jumps are kept for shapes 6 to kMaxShape

    // The shared jumps of whole shape n, or null when none are kept.
    static const TangentJumps* Shared(int iWhole);
    TangentJumps(int iWhole, const TangentBounds* pBounds);
    ~TangentJumps();
    TangentJumps(const TangentJumps&) = delete;
    TangentJumps& operator=(const TangentJumps&) = delete;

    // The uniforms before the accepted proposal of a draw that starts at table position q, or
    // kFar. The chunk of the table that holds q must be there.
    int Jump(std::size_t q) const {
        const std::uint8_t* pChunk = apChunks[q >> kChunkBits].load(std::memory_order_acquire);
        if (!pChunk) pChunk = FillChunk(q >> kChunkBits);
        const std::size_t i = q & kChunkMask;
        return (pChunk[i >> 1] >> (4 * (i & 1))) & 15;
    }

    // Asks the processor to load the jump of start q, when its chunk is there.
    void Prefetch(std::size_t q) const {
        const std::uint8_t* pChunk = apChunks[q >> kChunkBits].load(std::memory_order_acquire);
        if (pChunk) __builtin_prefetch(pChunk + ((q & kChunkMask) >> 1));
    }

private:
    static constexpr int kChunkBits = 16;
    static constexpr std::size_t kChunkPositions = std::size_t(1) << kChunkBits;
    static constexpr std::size_t kChunkMask = kChunkPositions - 1;
    static constexpr std::size_t kChunkBytes = kChunkPositions / 2;
    static constexpr std::size_t kChunks = (UniformTable::kMaxChunks * UniformTable::kChunkSize) >> kChunkBits;

    // Claims chunk c and computes it (32 KB), publishes and returns it; returns the shared chunk
    // of kFar over the budget or without the table's values, and what is published when another
    // thread claimed it first.
    const std::uint8_t* FillChunk(std::size_t c) const;

    double dAm;
    double dRoot;
    const TangentBounds* pBounds;  // shared, may be null
    // Null until claimed; the shared chunk of kFar while filled or over the budget; then owned
    // here, written by the thread that claimed it, read-only after.
    mutable std::atomic<const std::uint8_t*> apChunks[kChunks];
};

#endif
