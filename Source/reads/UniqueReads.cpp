#include "UniqueReads.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "RadixSort.h"

namespace {

// The position as an unsigned key that orders like the signed value.
uint32_t PositionKey(const UniqueRead& u) { return static_cast<uint32_t>(u.position) ^ 0x80000000u; }

}  // namespace

void UniqueReads::Add(const Read& read) {
    if (bSorted) throw std::logic_error("UniqueReads: a read was added after the sort.");
    if (filedMismatches.size() + read.iMismatchCount > std::numeric_limits<uint32_t>::max())
        throw std::length_error("the unique reads have more than 4,294,967,295 mismatches in all, more than "
                                "KORVEX can hold; divide the input into smaller files.");
    UniqueRead u;
    u.position = read.position;
    u.iFirstMismatch = static_cast<uint32_t>(filedMismatches.size());
    u.iReference = ReferenceIndex(read.chromosome);
    u.bMinusFragment = read.FragmentStrand() == '-';
    u.iLength = read.iLength;
    u.iMismatchCount = read.iMismatchCount;
    filed.push_back(u);
    for (int i = 0; i < read.iMismatchCount; ++i) filedMismatches.push_back(read.pMismatches[i]);
    iLongest = std::max(iLongest, static_cast<int>(read.iLength));
}

uint32_t UniqueReads::ReferenceIndex(const char* pName) {
    if (pName == pLastReference) return iLastReference;
    const auto [it, bNew] = referenceIndex.emplace(pName, static_cast<uint32_t>(vReferences.size()));
    if (bNew) {
        if (vReferences.size() >= (1u << 31)) throw std::length_error("UniqueReads: too many reference names.");
        vReferences.push_back(pName);
    }
    pLastReference = pName;
    iLastReference = it->second;
    return iLastReference;
}

void UniqueReads::SortByPosition(int iThreads) {
    if (bSorted) return;
    SortByHighBits();
    SortWithinHighBits(iThreads);
    GatherMismatchesInOrder();
    bSorted = true;
}

// By the key's upper 16 bits, from the filing blocks into the sorted array, stable. Positions
// that differ only in their lower 16 bits fall into one range, each range is filled from its
// start, so the array's pages are touched about as fast as the blocks already read are freed.
void UniqueReads::SortByHighBits() {
    iSorted = filed.size();
    pSorted.reset(new UniqueRead[iSorted]);
    std::vector<std::size_t> vStarts(std::size_t{1} << 16, 0);
    for (std::size_t i = 0; i < iSorted; ++i) ++vStarts[PositionKey(filed[i]) >> 16];
    std::size_t iStart = 0;
    for (std::size_t& iCount : vStarts) {
        const std::size_t iRange = iCount;
        iCount = iStart;
        iStart += iRange;
    }
    filed.ConsumeInOrder([&](const UniqueRead& u) { pSorted[vStarts[PositionKey(u) >> 16]++] = u; });
}

// Each range of equal upper bits by its lower 16 bits, on up to iThreads threads.
void UniqueReads::SortWithinHighBits(int iThreads) {
    std::vector<std::size_t> vStarts;  // of each range, then the end of the last
    for (std::size_t iFirst = 0; iFirst < iSorted;) {
        std::size_t iEnd = iFirst + 1;
        while (iEnd < iSorted && PositionKey(pSorted[iEnd]) >> 16 == PositionKey(pSorted[iFirst]) >> 16) ++iEnd;
        vStarts.push_back(iFirst);
        iFirst = iEnd;
    }
    vStarts.push_back(iSorted);
    RadixSortRanges(pSorted.get(), vStarts.data(), static_cast<int>(vStarts.size() - 1), 16, PositionKey, iThreads,
                    [](int, const UniqueRead*, std::size_t) {});
}

// The mismatches in the order of the sorted reads, so that reads near each other in position
// have theirs near each other in memory too.
void UniqueReads::GatherMismatchesInOrder() {
    vMismatches.reserve(filedMismatches.size());
    for (std::size_t r = 0; r < iSorted; ++r) {
        UniqueRead& u = pSorted[r];
        const std::size_t iFirst = u.iFirstMismatch;
        u.iFirstMismatch = static_cast<uint32_t>(vMismatches.size());
        for (std::size_t i = 0; i < u.iMismatchCount; ++i) vMismatches.push_back(filedMismatches[iFirst + i]);
    }
    filedMismatches.Clear();
}

void UniqueReads::Clear() {
    filed.Clear();
    filedMismatches.Clear();
    pSorted.reset();
    iSorted = 0;
    std::vector<ReadMismatch>().swap(vMismatches);
    vReferences.clear();
    referenceIndex.clear();
    pLastReference = nullptr;
    iLastReference = 0;
    iLongest = 0;
    bSorted = false;
}
