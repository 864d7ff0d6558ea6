#include "UniformPowers.h"

#include <map>
#include <memory>
#include <mutex>

#include "TableBudget.h"
#include "UniformTable.h"

namespace {
const double gNotKept = 0.0;
}  // namespace

const double* UniformPowers::NotKept() { return &gNotKept; }

static_assert(UniformTable::kSize == (std::size_t(1) << 20), "UniformPowers::kChunks assumes 2^20 uniforms");

UniformPowers::UniformPowers(double g) : dExponent(g), pTable(UniformTable::Shared().Begin()) {
    for (std::atomic<const double*>& pChunk : apChunks) pChunk.store(nullptr, std::memory_order_relaxed);
}

UniformPowers::~UniformPowers() {
    for (std::atomic<const double*>& pChunk : apChunks) {
        const double* p = pChunk.load(std::memory_order_acquire);
        if (p != NotKept()) delete[] p;
    }
}

const UniformPowers* UniformPowers::Shared(double g) {
    static std::mutex mutex;
    static std::map<double, std::unique_ptr<UniformPowers>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = tables.find(g);
    if (it != tables.end()) return it->second.get();
    if (static_cast<int>(tables.size()) >= kMaxExponents) return nullptr;
    return (tables[g] = std::make_unique<UniformPowers>(g)).get();
}

const double* UniformPowers::FillChunk(std::size_t c) const {
    if (!TableBudget::Take(sizeof(double) * kChunkPositions)) {
        const double* pExpected = nullptr;
        apChunks[c].compare_exchange_strong(pExpected, NotKept(), std::memory_order_acq_rel);
        return pExpected ? pExpected : NotKept();
    }
    double* pChunk = new double[kChunkPositions];
    const double* pValues = pTable + c * kChunkPositions;
    for (std::size_t i = 0; i < kChunkPositions; ++i) pChunk[i] = std::pow(pValues[i], dExponent);
    const double* pExpected = nullptr;
    if (apChunks[c].compare_exchange_strong(pExpected, pChunk, std::memory_order_acq_rel)) return pChunk;
    delete[] pChunk;
    TableBudget::GiveBack(sizeof(double) * kChunkPositions);
    return pExpected;
}
