#include "UniqueReads.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

// The position as an unsigned key that orders like the signed value.
uint32_t PositionKey(const UniqueRead& u) { return static_cast<uint32_t>(u.position) ^ 0x80000000u; }

// One stable pass of a radix sort: the reads of from into to, ordered by the 16 bits of the
// key at iShift, equal bits keeping their order.
template <class Source>
void ScatterBy16Bits(const Source& from, std::vector<UniqueRead>& to, int iShift) {
    std::vector<std::size_t> vStarts(std::size_t{1} << 16, 0);
    for (const UniqueRead& u : from) ++vStarts[(PositionKey(u) >> iShift) & 0xffff];
    std::size_t iStart = 0;
    for (std::size_t& iCount : vStarts) {
        const std::size_t iBucket = iCount;
        iCount = iStart;
        iStart += iBucket;
    }
    to.resize(from.size());
    for (const UniqueRead& u : from) to[vStarts[(PositionKey(u) >> iShift) & 0xffff]++] = u;
}

}  // namespace

void UniqueReads::Add(const Read& read) {
    if (bSorted) throw std::logic_error("UniqueReads: a read was added after the sort.");
    if (dFiledMismatches.size() + read.iMismatchCount > std::numeric_limits<uint32_t>::max())
        throw std::length_error("the unique reads have more than 4,294,967,295 mismatches in all, more than "
                                "KORVEX can hold; divide the input into smaller files.");
    UniqueRead u;
    u.position = read.position;
    u.iFirstMismatch = static_cast<uint32_t>(dFiledMismatches.size());
    u.iReference = ReferenceIndex(read.chromosome);
    u.bMinusFragment = read.FragmentStrand() == '-';
    u.iLength = read.iLength;
    u.iMismatchCount = read.iMismatchCount;
    dFiled.push_back(u);
    dFiledMismatches.insert(dFiledMismatches.end(), read.pMismatches, read.pMismatches + read.iMismatchCount);
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

// Two passes of 16 bits, from the filing blocks into one array and back into another; the
// blocks are freed as soon as the first pass has read them.
void UniqueReads::SortByPosition() {
    if (bSorted) return;
    std::vector<UniqueRead> vByLowBits;
    ScatterBy16Bits(dFiled, vByLowBits, 0);
    std::deque<UniqueRead>().swap(dFiled);
    ScatterBy16Bits(vByLowBits, vSorted, 16);
    std::vector<UniqueRead>().swap(vByLowBits);
    vPositions.resize(vSorted.size());
    for (std::size_t i = 0; i < vSorted.size(); ++i) vPositions[i] = vSorted[i].position;
    GatherMismatchesInOrder();
    bSorted = true;
}

// The mismatches in the order of the sorted reads, so that reads near each other in position
// have theirs near each other in memory too.
void UniqueReads::GatherMismatchesInOrder() {
    vMismatches.reserve(dFiledMismatches.size());
    for (UniqueRead& u : vSorted) {
        const std::size_t iFirst = u.iFirstMismatch;
        u.iFirstMismatch = static_cast<uint32_t>(vMismatches.size());
        for (std::size_t i = 0; i < u.iMismatchCount; ++i) vMismatches.push_back(dFiledMismatches[iFirst + i]);
    }
    std::deque<ReadMismatch>().swap(dFiledMismatches);
}

void UniqueReads::Clear() {
    std::deque<UniqueRead>().swap(dFiled);
    std::deque<ReadMismatch>().swap(dFiledMismatches);
    std::vector<UniqueRead>().swap(vSorted);
    std::vector<int>().swap(vPositions);
    std::vector<ReadMismatch>().swap(vMismatches);
    vReferences.clear();
    referenceIndex.clear();
    pLastReference = nullptr;
    iLastReference = 0;
    iLongest = 0;
    bSorted = false;
}
