#include "UniformPowers.h"

#include <memory>
#include <new>
#include <mutex>

#include "TableBudget.h"
#include "UniformTable.h"

namespace {
const double gNotKept = 0.0;
}  // namespace

const double* UniformPowers::NotKept() { return &gNotKept; }

static_assert(UniformTable::kChunkSize % (std::size_t(1) << 15) == 0, "a chunk of powers lies in one chunk of uniforms");

UniformPowers::UniformPowers(double g) : dExponent(g) {
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
    const std::size_t iStart = c * kChunkPositions;
    const std::size_t iTableChunk = iStart / UniformTable::kChunkSize;
    const double* pTableChunk = UniformTable::Shared().MadeChunk(iTableChunk);
    if (!pTableChunk) return NotKept();
    const double* pPublished = nullptr;
    if (!apChunks[c].compare_exchange_strong(pPublished, NotKept(), std::memory_order_acq_rel)) return pPublished;
    if (!TableBudget::Take(sizeof(double) * kChunkPositions)) return NotKept();
    double* pChunk = new (std::nothrow) double[kChunkPositions];
    if (!pChunk) return NotKept();  // the powers are only a saving: without memory, pow
    const double* pValues = pTableChunk + (iStart - iTableChunk * UniformTable::kChunkSize);
    for (std::size_t i = 0; i < kChunkPositions; ++i) pChunk[i] = PowerOf(pValues[i]);
    apChunks[c].store(pChunk, std::memory_order_release);
    return pChunk;
}
