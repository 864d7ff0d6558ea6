#ifndef KORVEX_READIDSET_H
#define KORVEX_READIDSET_H

#include <cstdint>
#include <string_view>
#include <vector>

// The read IDs met so far, as 64-bit hashes in an open-addressing table: 16 bytes per read ID
// at most, whatever the names' length. Two different names share a hash with a chance of
// about n^2 / 2^65 for n names.
class ReadIdSet {
public:
    ReadIdSet();
    // Adds the name; false when it (or a name with the same hash) was there already.
    bool Insert(std::string_view name);
    void Clear();

private:
    void Grow();

    std::vector<uint64_t> vSlots;  // 0 marks an empty slot
    std::size_t iSize;
};

#endif
