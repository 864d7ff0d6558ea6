#include "ReadIdSet.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "RadixSort.h"

void ReadIdSet::Add(std::string_view name, int iLineNumber) {
    const uint64_t iHash = std::hash<std::string_view>()(name);
    groups.push_back(Group{{static_cast<uint32_t>(iHash >> 32), static_cast<uint32_t>(iHash)}, iLineNumber});
}

// Sorted by hash, with file order kept among equal hashes, a read ID's groups are adjacent, its
// first group first. The groups move by their top byte into 256 ranges of one array, freed
// block by block while it fills, then each range sorts by the other 56 bits; so the groups are
// held about once throughout.
int ReadIdSet::FirstReappearance(int& iFirstLine) {
    const std::size_t iCount = groups.size();
    std::size_t aiStarts[257] = {};
    for (std::size_t i = 0; i < iCount; ++i) ++aiStarts[(groups[i].Hash() >> 56) + 1];
    for (int b = 1; b <= 256; ++b) aiStarts[b] += aiStarts[b - 1];  // range b starts at aiStarts[b]
    std::unique_ptr<Group[]> pSorted(new Group[iCount]);
    std::size_t aiNext[256];
    std::copy(aiStarts, aiStarts + 256, aiNext);
    groups.ConsumeInOrder([&](const Group& group) { pSorted[aiNext[group.Hash() >> 56]++] = group; });

    std::size_t iLargest = 0;
    for (int b = 0; b < 256; ++b) iLargest = std::max(iLargest, aiStarts[b + 1] - aiStarts[b]);
    std::unique_ptr<Group[]> pBuffer(new Group[iLargest]);
    int iFound = 0;
    for (int b = 0; b < 256; ++b) {
        Group* pRange = &pSorted[aiStarts[b]];
        const std::size_t iRange = aiStarts[b + 1] - aiStarts[b];
        RadixSort(pRange, iRange, pBuffer.get(), 56, [](const Group& group) { return group.Hash(); });
        for (std::size_t i = 1; i < iRange; ++i) {
            if (pRange[i].Hash() != pRange[i - 1].Hash()) continue;
            if (iFound == 0 || pRange[i].iLine < iFound) {
                iFound = pRange[i].iLine;
                iFirstLine = pRange[i - 1].iLine;
            }
        }
    }
    return iFound;
}
