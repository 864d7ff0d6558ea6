#ifndef KORVEX_KEPTLINES_H
#define KORVEX_KEPTLINES_H

#include <cstdint>
#include <vector>

#include "Read.h"

// The alignment lines of multireads, each by its Read, in ascending line order.
typedef std::vector<Read*> LineIndex;

// Every kept alignment line, in ascending line order: a line of a unique read as one bit (the
// output needs nothing of it but that it was kept), a line of a multiread by its Read, which
// receives its values.
class KeptLines {
public:
    void AddUnique(int iLineNumber);
    // Lines of multireads are added in ascending line order (a group may sort its own).
    LineIndex& MultireadLines() { return vMultireadLines; }
    const LineIndex& MultireadLines() const { return vMultireadLines; }
    int64_t UniqueCount() const { return iUniqueCount; }
    int64_t Size() const { return iUniqueCount + static_cast<int64_t>(vMultireadLines.size()); }
    void Clear();

    // Walks the kept lines in ascending order.
    class Cursor {
    public:
        explicit Cursor(const KeptLines& lines) : kept(lines) {}
        // The next kept line: its number, and its Read for a multiread's line, nullptr for a
        // unique read's. False after the last.
        bool Next(int64_t& iLineNumber, const Read*& pRead);

    private:
        int64_t NextUniqueLine();

        const KeptLines& kept;
        static const int64_t NOT_LOOKED_UP = -2;
        int64_t iUniqueFrom = 0;  // the next line number to look at for a unique line
        int64_t iPendingUnique = NOT_LOOKED_UP;  // the next unique line from there; -1 for none
        std::size_t iMultiread = 0;
    };

private:
    std::vector<uint64_t> vUniqueBits;  // bit n: line n is a unique read's
    int64_t iUniqueCount = 0;
    LineIndex vMultireadLines;
};

#endif
