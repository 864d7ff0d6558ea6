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

// The first thread to reach chunk c claims it by publishing NotKept(), and then fills it: the
// draws of other threads that reach the chunk meanwhile call pow rather than fill it again.
// Over the budget the claim stays.
const double* UniformPowers::FillChunk(std::size_t c) const {
    const double* pPublished = nullptr;
    if (!apChunks[c].compare_exchange_strong(pPublished, NotKept(), std::memory_order_acq_rel)) return pPublished;
    if (!TableBudget::Take(sizeof(double) * kChunkPositions)) return NotKept();
    double* pChunk = new double[kChunkPositions];
    const double* pValues = pTable + c * kChunkPositions;
    for (std::size_t i = 0; i < kChunkPositions; ++i) pChunk[i] = PowerOf(pValues[i]);
    apChunks[c].store(pChunk, std::memory_order_release);
    return pChunk;
}
