#ifndef KORVEX_REFERENCENAMES_H
#define KORVEX_REFERENCENAMES_H

#include <string_view>
#include <unordered_map>

#include "Arena.h"

// One stored text per reference name: alignments on the same reference share it, so equal
// names are equal pointers. Owns the texts; single-threaded while filled, read-only after.
class ReferenceNames {
public:
    const char* Intern(std::string_view name);
    std::size_t Size() const { return index.size(); }
    void Clear() {
        index.clear();
        texts.Clear();
    }

private:
    Arena texts{std::size_t{64} << 10};  // few names: small blocks
    std::unordered_map<std::string_view, const char*> index;  // keys point into texts
};

#endif
