#include "DistSampler.h"

#include <cmath>
#include <cstring>

namespace {
const double E = 2.718281828459045;
}  // namespace

DistSampler::DistSampler(const UniformTable& table, UniformBlock& block)
    : pNext(table.Begin()), pEnd(table.End()), pBlock(&block), pTable(table.Begin()), pTableEnd(table.End()) {
    table.GetEndState(block.uW, block.uZ);
}

const double* DistSampler::Refill(const double* pNext, const double* pEnd, UniformBlock* pBlock) {
    const std::ptrdiff_t iLeft = pEnd - pNext;
    std::memmove(pBlock->adValues, pNext, static_cast<std::size_t>(iLeft) * sizeof(double));
    unsigned int w = pBlock->uW;
    unsigned int z = pBlock->uZ;
    for (int i = static_cast<int>(iLeft); i < UniformBlock::kSize; ++i) pBlock->adValues[i] = SimpleRNG::GetUniform(w, z);
    pBlock->uW = w;
    pBlock->uZ = z;
    return pBlock->adValues;
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
    shape.pFraction = shape.dFraction > 0.0 ? FractionBounds::Shared(shape.dInverseFraction) : nullptr;
    shape.pTangent = TangentBounds::Shared(shape.iWhole);
    shape.pJumps = TangentJumps::Shared(shape.iWhole);
    return shape;
}
