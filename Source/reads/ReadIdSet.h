#ifndef KORVEX_READIDSET_H
#define KORVEX_READIDSET_H

#include <cstdint>
#include <string_view>
#include <vector>

// The read IDs that start a group of consecutive lines, as 64-bit hashes with the line of the
// group's start: 16 bytes per group whatever the names' length, written one after the other.
// Sorted once at the end, they tell whether some read ID started two groups, that is whether
// the file is not grouped by read. Two different names share a hash with a chance of about
// n^2 / 2^65 for n names.
class ReadIdSet {
public:
    void Add(std::string_view name, int iLineNumber);
    // The first line on which a read ID starts a group again, with the line of its first
    // group in iFirstLine; 0 when every read ID started one group only.
    int FirstReappearance(int& iFirstLine);
    // Forgets every read ID and frees their memory.
    void Clear() { std::vector<Group>().swap(vGroups); }

private:
    struct Group {
        uint64_t iHash;
        int iLine;
    };
    std::vector<Group> vGroups;  // in file order until FirstReappearance sorts them
};

#endif
