#ifndef KORVEX_UNIQUEREADS_H
#define KORVEX_UNIQUEREADS_H

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "ChunkedVector.h"
#include "Read.h"

// What the evidence search needs of a unique read: 16 bytes instead of a whole Read. Its name,
// quality and line are not kept: the output finds its line by number, and its quality has been
// counted for the error scores when it was filed.
struct UniqueRead {
    int position;             // genome position of read position 0, as Read::position
    uint32_t iFirstMismatch;  // its mismatches in the store, iMismatchCount of them from here
    uint32_t iReference : 31;   // index of its reference name in the store
    uint32_t bMinusFragment : 1;  // the fragment it comes from lies on the '-' strand
    int16_t iLength;
    uint16_t iMismatchCount;
};
static_assert(sizeof(UniqueRead) == 16, "a unique read is held in 16 bytes");

// The unique reads of a run: filed one by one in Step 1, then sorted by position once and
// read-only from then on, so all threads can share them. While filed they are held in blocks,
// so that growing never holds the records twice; sorting moves them into one array, block by
// block, so that it holds them about once too.
class UniqueReads {
public:
    // Files a copy of what the evidence needs of read; its chromosome text must outlive the store.
    void Add(const Read& read);
    // Sorts the reads by position, keeping the filing order of equal positions, which decides
    // which uniform each of their draws takes in the sampler. Nothing may be added after it.
    // The same on any number of threads.
    void SortByPosition(int iThreads = 1);
    // Forgets every read.
    void Clear();

    // Reads filed (before the sort) or sorted (after it).
    std::size_t Size() const { return bSorted ? iSorted : filed.size(); }
    // The sorted reads, in ascending position.
    const UniqueRead& operator[](std::size_t i) const { return pSorted[i]; }
    const UniqueRead* Data() const { return pSorted.get(); }
    const ReadMismatch* MismatchesOf(const UniqueRead& u) const { return vMismatches.data() + u.iFirstMismatch; }
    const char* ReferenceOf(const UniqueRead& u) const { return vReferences[u.iReference]; }
    static char FragmentStrandOf(const UniqueRead& u) { return u.bMinusFragment ? '-' : '+'; }
    // Bases of the longest read; 0 when there is none.
    int LongestLength() const { return iLongest; }

private:
    uint32_t ReferenceIndex(const char* pName);
    void SortByHighBits();
    void SortWithinHighBits(int iThreads);
    void GatherMismatchesInOrder();

    bool bSorted = false;
    int iLongest = 0;
    ChunkedVector<UniqueRead> filed;              // in filing order, until sorted
    ChunkedVector<ReadMismatch> filedMismatches;  // theirs, read after read
    std::unique_ptr<UniqueRead[]> pSorted;        // iSorted reads once sorted
    std::size_t iSorted = 0;
    std::vector<ReadMismatch> vMismatches;  // of the sorted reads, read after read
    std::vector<const char*> vReferences;   // distinct texts, in order of first use
    std::unordered_map<const char*, uint32_t> referenceIndex;
    const char* pLastReference = nullptr;  // consecutive reads mostly share a reference
    uint32_t iLastReference = 0;
};

#endif
