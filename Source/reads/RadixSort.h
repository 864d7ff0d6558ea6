#ifndef KORVEX_RADIXSORT_H
#define KORVEX_RADIXSORT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

// Sorts the iCount items at pItems by the lowest iKeyBits bits of their 64-bit key, 8 bits a
// pass from the lowest, keeping the order of equal keys; pBuffer holds iCount items. Sequential
// passes instead of a comparison sort's random accesses, with counts of 2 KB, so that many
// small ranges sort as fast as one large. A pass whose 8 bits are the same in every key is
// skipped.
template <class T, class KeyOf>
void RadixSort(T* pItems, std::size_t iCount, T* pBuffer, int iKeyBits, KeyOf keyOf) {
    T* pFrom = pItems;
    T* pTo = pBuffer;
    std::size_t aiStarts[256];
    for (int iShift = 0; iShift < iKeyBits && iCount > 1; iShift += 8) {
        std::fill(std::begin(aiStarts), std::end(aiStarts), 0);
        for (std::size_t i = 0; i < iCount; ++i) ++aiStarts[(keyOf(pFrom[i]) >> iShift) & 0xff];
        if (aiStarts[(keyOf(pFrom[0]) >> iShift) & 0xff] == iCount) continue;
        std::size_t iStart = 0;
        for (std::size_t& iDigit : aiStarts) {
            const std::size_t iItems = iDigit;
            iDigit = iStart;
            iStart += iItems;
        }
        for (std::size_t i = 0; i < iCount; ++i) pTo[aiStarts[(keyOf(pFrom[i]) >> iShift) & 0xff]++] = pFrom[i];
        std::swap(pFrom, pTo);
    }
    if (pFrom != pItems) std::copy(pFrom, pFrom + iCount, pItems);
}

#endif
