#include "Arena.h"

#include <cstdlib>
#include <new>

namespace {

// Plain pages, not huge ones: a huge page is resident in full once touched, and the last block
// of each arena, partly used, would then cost its whole size.
char* NewBlock(std::size_t iSize) {
    void* pData = std::malloc(iSize);
    if (pData == nullptr) throw std::bad_alloc();
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
        const std::size_t iSize = (iAtLeast + iBlockBytes - 1) / iBlockBytes * iBlockBytes;
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

void Arena::Release() {
    vBlocks.clear();
    iCurrent = 0;
    iUsed = 0;
}

std::size_t Arena::Capacity() const {
    std::size_t iTotal = 0;
    for (const Block& block : vBlocks) iTotal += block.iSize;
    return iTotal;
}
