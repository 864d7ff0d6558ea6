#ifndef KORVEX_RADIXSORT_H
#define KORVEX_RADIXSORT_H

#include <omp.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

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

// Below this many items the ranges sort on the calling thread: a team costs more than it saves.
const std::size_t PARALLEL_SORT_ITEMS = 4096;

// Sorts each range r = [pStarts[r], pStarts[r + 1]) of pItems as RadixSort does, then calls
// visit(r, pRange, iCount) on it, on up to iThreads threads. The ranges are independent, so the
// result is the same on any number of threads; visit must not throw, and what it writes must
// be its range's own.
template <class T, class KeyOf, class Visit>
void RadixSortRanges(T* pItems, const std::size_t* pStarts, int iRanges, int iKeyBits, KeyOf keyOf, int iThreads,
                     Visit visit) {
    std::size_t iLargest = 0;
    for (int r = 0; r < iRanges; ++r) iLargest = std::max(iLargest, pStarts[r + 1] - pStarts[r]);
    const bool bSmall = iRanges == 0 || pStarts[iRanges] - pStarts[0] < PARALLEL_SORT_ITEMS;
    const int iTeam = bSmall ? 1 : std::max(1, std::min({iThreads, omp_get_max_threads(), iRanges}));
    std::unique_ptr<T[]> pBuffers(new T[iLargest * iTeam]);
#pragma omp parallel for num_threads(iTeam) schedule(dynamic, 16)
    for (int r = 0; r < iRanges; ++r) {
        T* pRange = pItems + pStarts[r];
        const std::size_t iCount = pStarts[r + 1] - pStarts[r];
        RadixSort(pRange, iCount, &pBuffers[iLargest * omp_get_thread_num()], iKeyBits, keyOf);
        visit(r, pRange, iCount);
    }
}

#endif
