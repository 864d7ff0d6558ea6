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
// held about once throughout. The ranges sort on up to iThreads threads.
int ReadIdSet::FirstReappearance(int& iFirstLine, int iThreads) {
    const std::size_t iCount = groups.size();
    std::size_t aiStarts[257] = {};
    for (std::size_t i = 0; i < iCount; ++i) ++aiStarts[(groups[i].Hash() >> 56) + 1];
    for (int b = 1; b <= 256; ++b) aiStarts[b] += aiStarts[b - 1];  // range b starts at aiStarts[b]
    std::unique_ptr<Group[]> pSorted(new Group[iCount]);
    std::size_t aiNext[256];
    std::copy(aiStarts, aiStarts + 256, aiNext);
    groups.ConsumeInOrder([&](const Group& group) { pSorted[aiNext[group.Hash() >> 56]++] = group; });

    // Per range: the earliest line that starts a group again, and the line of its first group.
    std::vector<std::pair<int, int>> vFound(256, {0, 0});
    RadixSortRanges(pSorted.get(), aiStarts, 256, 56, [](const Group& group) { return group.Hash(); }, iThreads,
                    [&vFound](int b, const Group* pRange, std::size_t iRange) {
                        for (std::size_t i = 1; i < iRange; ++i) {
                            if (pRange[i].Hash() != pRange[i - 1].Hash()) continue;
                            if (vFound[b].first == 0 || pRange[i].iLine < vFound[b].first)
                                vFound[b] = {pRange[i].iLine, pRange[i - 1].iLine};
                        }
                    });
    int iFound = 0;
    for (const auto& [iLine, iFirst] : vFound) {
        if (iLine == 0 || (iFound != 0 && iLine > iFound)) continue;
        iFound = iLine;
        iFirstLine = iFirst;
    }
    return iFound;
}
