#include "UniformTable.h"

#include "SimpleRNG.h"

UniformTable::UniformTable() : vValues(kSize) {
    SimpleRNG rng;
    for (double& d : vValues) d = rng.GetUniform();
    rng.GetState(uEndW, uEndZ);
}

const UniformTable& UniformTable::Shared() {
    static const UniformTable table;
    return table;
}
