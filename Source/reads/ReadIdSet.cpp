#include "ReadIdSet.h"

#include <functional>

#include "RadixSort.h"

void ReadIdSet::Add(std::string_view name, int iLineNumber) {
    vGroups.push_back(Group{std::hash<std::string_view>()(name), iLineNumber});
}

int ReadIdSet::FirstReappearance(int& iFirstLine) {
    // Sorted by hash, with file order kept among equal hashes: a read ID's groups are adjacent,
    // its first group first.
    RadixSort(vGroups, [](const Group& group) { return group.iHash; });
    int iFound = 0;
    for (std::size_t i = 1; i < vGroups.size(); ++i) {
        if (vGroups[i].iHash != vGroups[i - 1].iHash) continue;
        if (iFound == 0 || vGroups[i].iLine < iFound) {
            iFound = vGroups[i].iLine;
            iFirstLine = vGroups[i - 1].iLine;
        }
    }
    return iFound;
}
