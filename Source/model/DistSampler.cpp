#include "DistSampler.h"

#include <cmath>

namespace {
const double E = 2.718281828459045;
const std::size_t UNIFORM_TABLE_SIZE = 1 << 20;
}  // namespace

UniformTable::UniformTable(std::size_t iSize) : vValues(iSize) {
    SimpleRNG rng;
    for (double& d : vValues) d = rng.GetUniform();
    rng.GetState(uEndW, uEndZ);
}

const UniformTable& UniformTable::Shared() {
    static const UniformTable table(UNIFORM_TABLE_SIZE);
    return table;
}

DistSampler::DistSampler(const UniformTable& table) : pNext(table.Begin()), pEnd(table.End()) {
    unsigned int w = 0;
    unsigned int z = 0;
    table.GetEndState(w, z);
    rng.SetState(w, z);
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
    return shape;
}
