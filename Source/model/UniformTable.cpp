#include "UniformTable.h"

#include "SimpleRNG.h"

UniformTable::UniformTable() : vValues(kSize) {
    SimpleRNG().GetState(uEndW, uEndZ);
    SimpleRNG::FillUniforms(uEndW, uEndZ, vValues.data(), static_cast<int>(kSize));
}

const UniformTable& UniformTable::Shared() {
    static const UniformTable table;
    return table;
}
