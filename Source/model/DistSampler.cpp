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

void UniformBlock::Generate() { SimpleRNG::FillUniforms(uW, uZ, adValues + kCarry, kSize); }

const double* DistSampler::Refill(const double* pNext, const double* pEnd, UniformBlock* pBlock) {
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
