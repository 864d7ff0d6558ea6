#ifndef KORVEX_READIDSET_H
#define KORVEX_READIDSET_H

#include <cstdint>
#include <string_view>

#include "ChunkedVector.h"

// The read IDs that start a group of consecutive lines, as 64-bit hashes with the line of the
// group's start: 12 bytes per group whatever the names' length, in blocks that growing never
// copies. Sorted once at the end, they tell whether some read ID started two groups, that is
// whether the file is not grouped by read. Two different names share a hash with a chance of
// about n^2 / 2^65 for n names.
class ReadIdSet {
public:
    void Add(std::string_view name, int iLineNumber);
    // The first line on which a read ID starts a group again, with the line of its first
    // group in iFirstLine; 0 when every read ID started one group only. Leaves the set empty.
    // The same on any number of threads.
    int FirstReappearance(int& iFirstLine, int iThreads = 1);
    // Forgets every read ID and frees their memory.
    void Clear() { groups.Clear(); }

private:
    struct Group {
        uint32_t aiHash[2];  // its high and low half: 4-byte alignment keeps the record at 12 bytes
        int iLine;
        uint64_t Hash() const { return uint64_t{aiHash[0]} << 32 | aiHash[1]; }
    };
    ChunkedVector<Group> groups;  // in file order
};

#endif
