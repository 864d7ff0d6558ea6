#include "TangentJumps.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "TableBudget.h"
#include "UniformTable.h"

namespace {

// Every jump kFar: what a chunk over the budget reads. Trivially destructible, so that it
// outlives the tables at the end of the process.
template <std::size_t iBytes>
struct FarChunkBytes {
    std::uint8_t a[iBytes];
    FarChunkBytes() { std::memset(a, TangentJumps::kFar * 17, sizeof a); }
};

template <std::size_t iBytes>
const std::uint8_t* FarChunk() {
    static const FarChunkBytes<iBytes> far;
    return far.a;
}

}  // namespace

static_assert(UniformTable::kChunkSize % (std::size_t(1) << 16) == 0, "a chunk of jumps lies in one chunk of uniforms");

TangentJumps::TangentJumps(int iWhole, const TangentBounds* pBounds_) : pBounds(pBounds_) {
    dAm = iWhole - 1;  // as DistSampler::MakeGammaShape computes them
    dRoot = std::sqrt(2.0 * dAm + 1.0);
    for (std::atomic<const std::uint8_t*>& pChunk : apChunks) pChunk.store(nullptr, std::memory_order_relaxed);
}

TangentJumps::~TangentJumps() {
    const std::uint8_t* pFar = FarChunk<kChunkBytes>();
    for (std::atomic<const std::uint8_t*>& pChunk : apChunks) {
        const std::uint8_t* p = pChunk.load(std::memory_order_acquire);
        if (p != pFar) delete[] p;
    }
}

const TangentJumps* TangentJumps::Shared(int iWhole) {
    if (iWhole <= 5 || iWhole > kMaxShape) return nullptr;
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<TangentJumps>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<TangentJumps>& pTable = tables[iWhole];
    if (!pTable) pTable.reset(new TangentJumps(iWhole, TangentBounds::Shared(iWhole)));
    return pTable.get();
}

// The first thread to reach chunk c claims it by publishing the shared chunk of kFar, and then
// fills it: the draws of other threads that reach the chunk meanwhile run their loop rather
// than fill it again (on a machine with many threads they would all arrive together). Over the
// budget the claim stays.
//
// The jump of a start q is 0 when its proposal is accepted, else its step plus the jump of
// the start after it; filled backwards from 14 positions past the chunk, far enough for every
// jump under kFar. Positions whose proposal would read past the chunk of the table have no
// step, so that a draw never leaves the chunk it reads by a jump.
const std::uint8_t* TangentJumps::FillChunk(std::size_t c) const {
    const std::uint8_t* pFar = FarChunk<kChunkBytes>();
    const std::size_t iTableChunk = (c << kChunkBits) / UniformTable::kChunkSize;
    const double* pTableChunk = UniformTable::Shared().MadeChunk(iTableChunk);
    if (!pTableChunk) return pFar;
    const std::uint8_t* pPublished = nullptr;
    if (!apChunks[c].compare_exchange_strong(pPublished, pFar, std::memory_order_acq_rel)) return pPublished;
    if (!TableBudget::Take(kChunkBytes)) return pFar;
    const std::size_t iTableStart = iTableChunk * UniformTable::kChunkSize;
    const std::size_t iStart = c * kChunkPositions;
    const std::size_t iTableEnd = iTableStart + UniformTable::kChunkSize;
    const std::size_t iEnd = std::min(iStart + kChunkPositions + kFar - 1, iTableEnd - 2);  // proposals that fit
    std::vector<std::uint8_t> vJump(kChunkPositions + kFar, kFar);
    for (std::size_t q = iEnd; q-- > iStart;) {
        const int iStep = TangentProposal(pTableChunk + (q - iTableStart), dAm, dRoot, pBounds);
        if (iStep == 0) {
            vJump[q - iStart] = 0;
        } else if (q + iStep < iEnd) {
            const int iNext = vJump[q + iStep - iStart];
            vJump[q - iStart] = static_cast<std::uint8_t>(iNext + iStep < kFar ? iNext + iStep : kFar);
        }
    }
    std::uint8_t* pChunk = new (std::nothrow) std::uint8_t[kChunkBytes];
    if (!pChunk) return pFar;  // the jumps are only a saving: without memory, the loop
    for (std::size_t i = 0; i < kChunkBytes; ++i) pChunk[i] = static_cast<std::uint8_t>(vJump[2 * i] | (vJump[2 * i + 1] << 4));
    apChunks[c].store(pChunk, std::memory_order_release);
    return pChunk;
}
