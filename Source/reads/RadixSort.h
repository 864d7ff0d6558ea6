#ifndef KORVEX_RADIXSORT_H
#define KORVEX_RADIXSORT_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Sorts by a 64-bit key, 16 bits at a time from the lowest, keeping the order of equal keys.
// Four sequential passes over the elements instead of a comparison sort's random accesses; a
// pass whose 16 bits are the same in every key is skipped.
template <class T, class KeyOf>
void RadixSort(std::vector<T>& vItems, KeyOf keyOf) {
    std::vector<T> vSorted(vItems.size());
    std::vector<std::size_t> vStarts(1 << 16);
    for (int iShift = 0; iShift < 64; iShift += 16) {
        std::fill(vStarts.begin(), vStarts.end(), 0);
        for (const T& item : vItems) ++vStarts[(keyOf(item) >> iShift) & 0xffff];
        if (!vItems.empty() && vStarts[(keyOf(vItems[0]) >> iShift) & 0xffff] == vItems.size()) continue;
        std::size_t iStart = 0;
        for (std::size_t& iCount : vStarts) {
            const std::size_t iBucket = iCount;
            iCount = iStart;
            iStart += iBucket;
        }
        for (const T& item : vItems) vSorted[vStarts[(keyOf(item) >> iShift) & 0xffff]++] = item;
        vItems.swap(vSorted);
    }
}

#endif
