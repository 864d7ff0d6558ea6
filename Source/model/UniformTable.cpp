#include "UniformTable.h"

#include <new>

#include "SimpleRNG.h"
#include "TableBudget.h"

namespace {
const double gNotKept = 0.0;

// kLead + kChunkSize values: the kLead before stream position k kChunkSize (zeros for the
// first chunk) and the chunk's own. Returns the address of the chunk's first own value; null
// when the memory cannot be had (the first chunk then throws std::bad_alloc).
double* FillChunk(std::size_t k) {
    double* pValues = k == 0 ? new double[UniformTable::kLead + UniformTable::kChunkSize]()
                             : new (std::nothrow) double[UniformTable::kLead + UniformTable::kChunkSize]();
    if (!pValues) return nullptr;
    unsigned int u = 0;
    unsigned int v = 0;
    if (k == 0) {
        SimpleRNG().GetState(u, v);
        SimpleRNG::FillUniforms(u, v, pValues + UniformTable::kLead, static_cast<int>(UniformTable::kChunkSize));
    } else {
        SimpleRNG::StateAfter(k * UniformTable::kChunkSize - UniformTable::kLead, u, v);
        SimpleRNG::FillUniforms(u, v, pValues, static_cast<int>(UniformTable::kLead + UniformTable::kChunkSize));
    }
    return pValues + UniformTable::kLead;
}
}  // namespace

const double* UniformTable::NotKept() { return &gNotKept; }

UniformTable::UniformTable() {
    apChunks[0].store(FillChunk(0), std::memory_order_relaxed);
    for (std::size_t k = 1; k < kMaxChunks; ++k) apChunks[k].store(nullptr, std::memory_order_relaxed);
}

UniformTable::~UniformTable() {
    for (std::atomic<const double*>& pChunk : apChunks) {
        const double* p = pChunk.load(std::memory_order_acquire);
        if (p && p != NotKept()) delete[] (p - kLead);
    }
}

const UniformTable& UniformTable::Shared() {
    static const UniformTable table;
    return table;
}

const double* UniformTable::MadeChunk(std::size_t k) const {
    if (k >= kMaxChunks) return nullptr;
    const double* p = apChunks[k].load(std::memory_order_acquire);
    return p == NotKept() ? nullptr : p;
}

const double* UniformTable::Chunk(std::size_t k) const {
    if (k >= kMaxChunks) return nullptr;
    const double* p = apChunks[k].load(std::memory_order_acquire);
    if (!p) return MakeChunk(k);
    return p == NotKept() ? nullptr : p;
}

// The first thread to reach chunk k claims it by publishing NotKept(), and then makes it: the
// chains of other threads that reach it meanwhile generate their values. Over the budget the
// claim stays.
const double* UniformTable::MakeChunk(std::size_t k) const {
    const double* pPublished = nullptr;
    if (!apChunks[k].compare_exchange_strong(pPublished, NotKept(), std::memory_order_acq_rel))
        return pPublished == NotKept() ? nullptr : pPublished;
    if (!TableBudget::Take(sizeof(double) * (kLead + kChunkSize))) return nullptr;
    const double* pChunk = FillChunk(k);
    if (!pChunk) return nullptr;  // a chunk is only a saving: without memory the chains generate
    apChunks[k].store(pChunk, std::memory_order_release);
    return pChunk;
}
