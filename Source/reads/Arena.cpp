#include "Arena.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace {

// Blocks are whole huge pages, so that the kernel can back them with few page faults.
const std::size_t BLOCK_SIZE = 2 << 20;

char* NewBlock(std::size_t iSize) {
    void* pData = std::aligned_alloc(BLOCK_SIZE, iSize);
    if (pData == nullptr) throw std::bad_alloc();
    madvise(pData, iSize, MADV_HUGEPAGE);  // a hint: without huge pages the block works the same
    return static_cast<char*>(pData);
}

}  // namespace

void Arena::FreeBlock::operator()(char* pData) const { std::free(pData); }

void* Arena::Allocate(std::size_t iSize, std::size_t iAlignment) {
    if (!vBlocks.empty()) {
        std::size_t iStart = (iUsed + iAlignment - 1) & ~(iAlignment - 1);
        if (iStart + iSize <= vBlocks[iCurrent].iSize) {
            iUsed = iStart + iSize;
            return vBlocks[iCurrent].pData.get() + iStart;
        }
    }
    StartBlock(iSize + iAlignment);
    std::size_t iStart = (iUsed + iAlignment - 1) & ~(iAlignment - 1);
    iUsed = iStart + iSize;
    return vBlocks[iCurrent].pData.get() + iStart;
}

// Moves on to the next kept block that is large enough, or adds one. A kept block that is too
// small for this request stays unused until a rewind reaches back before it.
void Arena::StartBlock(std::size_t iAtLeast) {
    std::size_t iNext = vBlocks.empty() ? 0 : iCurrent + 1;
    while (iNext < vBlocks.size() && vBlocks[iNext].iSize < iAtLeast) ++iNext;
    if (iNext == vBlocks.size()) {
        const std::size_t iSize = (iAtLeast + BLOCK_SIZE - 1) / BLOCK_SIZE * BLOCK_SIZE;
        vBlocks.push_back(Block{std::unique_ptr<char, FreeBlock>(NewBlock(iSize)), iSize});
    }
    iCurrent = iNext;
    iUsed = 0;
}

void Arena::Rewind(const Mark& mark) {
    if (vBlocks.empty()) return;
    iCurrent = mark.iBlock;
    iUsed = mark.iUsed;
}

std::size_t Arena::Capacity() const {
    std::size_t iTotal = 0;
    for (const Block& block : vBlocks) iTotal += block.iSize;
    return iTotal;
}
