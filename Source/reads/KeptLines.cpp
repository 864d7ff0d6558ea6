#include "KeptLines.h"

void KeptLines::AddUnique(int iLineNumber) {
    const std::size_t iWord = static_cast<std::size_t>(iLineNumber) / 64;
    if (iWord >= vUniqueBits.size()) vUniqueBits.resize(iWord + 1, 0);
    const uint64_t iBit = uint64_t{1} << (iLineNumber % 64);
    iUniqueCount += (vUniqueBits[iWord] & iBit) == 0;
    vUniqueBits[iWord] |= iBit;
}

void KeptLines::Clear() {
    std::vector<uint64_t>().swap(vUniqueBits);
    iUniqueCount = 0;
    LineIndex().swap(vMultireadLines);
}

// The first unique line at or after iUniqueFrom, skipping empty words whole; -1 when none is left.
int64_t KeptLines::Cursor::NextUniqueLine() {
    const std::vector<uint64_t>& vBits = kept.vUniqueBits;
    std::size_t iWord = static_cast<std::size_t>(iUniqueFrom / 64);
    if (iWord >= vBits.size()) return -1;
    uint64_t iWordBits = vBits[iWord] & (~uint64_t{0} << (iUniqueFrom % 64));
    while (iWordBits == 0) {
        if (++iWord >= vBits.size()) return -1;
        iWordBits = vBits[iWord];
    }
    return static_cast<int64_t>(iWord) * 64 + __builtin_ctzll(iWordBits);
}

bool KeptLines::Cursor::Next(int64_t& iLineNumber, const Read*& pRead) {
    if (iPendingUnique == NOT_LOOKED_UP) iPendingUnique = NextUniqueLine();
    const int64_t iUnique = iPendingUnique;
    const bool bMultireadLeft = iMultiread < kept.vMultireadLines.size();
    if (iUnique < 0 && !bMultireadLeft) return false;
    if (bMultireadLeft && (iUnique < 0 || kept.vMultireadLines[iMultiread]->lineNumber < iUnique)) {
        pRead = kept.vMultireadLines[iMultiread++];
        iLineNumber = pRead->lineNumber;
        return true;
    }
    pRead = nullptr;
    iLineNumber = iUnique;
    iUniqueFrom = iUnique + 1;
    iPendingUnique = NOT_LOOKED_UP;
    return true;
}
