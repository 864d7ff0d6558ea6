#include "UniformPowers.h"

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
    static std::unique_ptr<UniformPowers> pPowers;  // of the first exponent asked for
    std::lock_guard<std::mutex> lock(mutex);
    if (!pPowers) pPowers = std::make_unique<UniformPowers>(g);
    return pPowers->dExponent == g ? pPowers.get() : nullptr;
}

const double* UniformPowers::FillChunk(std::size_t c) const {
    if (!TableBudget::Take(sizeof(double) * kChunkPositions)) {
        const double* pExpected = nullptr;
        apChunks[c].compare_exchange_strong(pExpected, NotKept(), std::memory_order_acq_rel);
        return pExpected ? pExpected : NotKept();
    }
    double* pChunk = new double[kChunkPositions];
    const double* pValues = pTable + c * kChunkPositions;
    for (std::size_t i = 0; i < kChunkPositions; ++i) pChunk[i] = PowerOf(pValues[i]);
    const double* pExpected = nullptr;
    if (apChunks[c].compare_exchange_strong(pExpected, pChunk, std::memory_order_acq_rel)) return pChunk;
    delete[] pChunk;
    TableBudget::GiveBack(sizeof(double) * kChunkPositions);
    return pExpected;
}
