#include "ReadIdSet.h"

#include <functional>

namespace {

uint64_t HashOf(std::string_view name) {
    uint64_t iHash = std::hash<std::string_view>()(name);
    return iHash == 0 ? 1 : iHash;  // 0 marks an empty slot
}

}  // namespace

namespace {
const std::size_t INITIAL_SLOTS = 1 << 16;
}  // namespace

ReadIdSet::ReadIdSet() : vSlots(INITIAL_SLOTS, 0), iSize(0) {}

void ReadIdSet::Clear() {
    vSlots.assign(INITIAL_SLOTS, 0);
    iSize = 0;
}

bool ReadIdSet::Insert(std::string_view name) {
    if (2 * (iSize + 1) > vSlots.size()) Grow();
    const uint64_t iHash = HashOf(name);
    const std::size_t iMask = vSlots.size() - 1;
    for (std::size_t i = iHash & iMask;; i = (i + 1) & iMask) {
        if (vSlots[i] == iHash) return false;
        if (vSlots[i] == 0) {
            vSlots[i] = iHash;
            ++iSize;
            return true;
        }
    }
}

void ReadIdSet::Grow() {
    std::vector<uint64_t> vOld(vSlots.size() * 2, 0);
    vOld.swap(vSlots);
    const std::size_t iMask = vSlots.size() - 1;
    for (uint64_t iHash : vOld) {
        if (iHash == 0) continue;
        std::size_t i = iHash & iMask;
        while (vSlots[i] != 0) i = (i + 1) & iMask;
        vSlots[i] = iHash;
    }
}
