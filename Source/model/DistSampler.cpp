#include "DistSampler.h"

#include <cmath>
#include <cstring>

namespace {
const double E = 2.718281828459045;
}  // namespace

DistSampler::DistSampler(const UniformTable& table, UniformBlock& block) : pBlock(&block) {
    block.ReadChunk(0, table.Begin());
    pNext = table.Begin();
    pEnd = block.pReadEnd;
    pTableEnd = block.pTableEnd;
    uOrigin = block.uOrigin;
}

void UniformBlock::Generate() { SimpleRNG::FillUniforms(uW, uZ, adValues + kCarry, kSize); }

void UniformBlock::ReadChunk(std::size_t k, const double* pChunk) {
    pReadEnd = pTableEnd = pChunk + UniformTable::kChunkSize;
    uOrigin = reinterpret_cast<std::uintptr_t>(pChunk) - k * UniformTable::kChunkSize * sizeof(double);
}

// Leaving a chunk of the table, the values from pNext on (at most kLead before the next chunk)
// are read in that chunk when it is kept; otherwise the generator starts at pNext's position.
// In the block, the unread values move to just before the new ones.
const double* DistSampler::Refill(const double* pNext, const double* pEnd, UniformBlock* pBlock) {
    if (pEnd == pBlock->pTableEnd) {
        const std::size_t q = (reinterpret_cast<std::uintptr_t>(pNext) - pBlock->uOrigin) / sizeof(double);
        const std::size_t k = (reinterpret_cast<std::uintptr_t>(pEnd) - pBlock->uOrigin) / sizeof(double) / UniformTable::kChunkSize;
        if (const double* pChunk = UniformTable::Shared().Chunk(k)) {
            pBlock->ReadChunk(k, pChunk);
            return pChunk - (k * UniformTable::kChunkSize - q);
        }
        SimpleRNG::StateAfter(q, pBlock->uW, pBlock->uZ);
        pBlock->Generate();
        pBlock->pReadEnd = pBlock->End();
        pBlock->pTableEnd = nullptr;
        return pBlock->adValues + UniformBlock::kCarry;
    }
    const std::ptrdiff_t iLeft = pEnd - pNext;
    double* pKept = pBlock->adValues + UniformBlock::kCarry - iLeft;
    std::memmove(pKept, pNext, static_cast<std::size_t>(iLeft) * sizeof(double));
    pBlock->Generate();
    return pKept;
}

DistSampler::GammaShape DistSampler::MakeGammaShape(double a) {
    GammaShape shape;
    shape.iWhole = static_cast<int>(std::floor(a));
    shape.dFraction = a - shape.iWhole;
    shape.dFractionBound = E / (shape.dFraction + E);
    shape.dInverseFraction = 1.0 / shape.dFraction;
    shape.bTenthPower = shape.dInverseFraction == 10.0;
    shape.dFractionPower = shape.dFraction - 1.0;
    shape.dAm = shape.iWhole - 1;
    shape.dRoot = std::sqrt(2.0 * shape.dAm + 1.0);
    shape.pFraction = shape.dFraction > 0.0 ? FractionBounds::Shared(shape.dInverseFraction) : nullptr;
    shape.pTangent = TangentBounds::Shared(shape.iWhole);
    shape.pJumps = TangentJumps::Shared(shape.iWhole);
    shape.pPowers = shape.dFraction > 0.0 ? UniformPowers::Shared(shape.dInverseFraction) : nullptr;
    return shape;
}
