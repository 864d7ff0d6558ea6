#ifndef KORVEX_CHUNKEDVECTOR_H
#define KORVEX_CHUNKEDVECTOR_H

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

// Plain records appended one by one into blocks of about a megabyte. Growing never copies nor
// holds them twice, as a vector's doubling does; each block is an allocation of its own, so
// freeing the blocks gives whole pages back instead of leaving holes among other records. A
// block's memory is touched only as far as it is filled.
template <class T>
class ChunkedVector {
public:
    static constexpr std::size_t BLOCK_ITEMS = (std::size_t{1} << 20) / sizeof(T);

    void push_back(const T& item) {
        if (iSize == vBlocks.size() * BLOCK_ITEMS) vBlocks.emplace_back(new T[BLOCK_ITEMS]);
        vBlocks.back()[iSize % BLOCK_ITEMS] = item;
        ++iSize;
    }
    std::size_t size() const { return iSize; }
    bool empty() const { return iSize == 0; }
    const T& operator[](std::size_t i) const { return vBlocks[i / BLOCK_ITEMS][i % BLOCK_ITEMS]; }

    // Calls f on every record in order, freeing each block once its records are visited, and
    // leaves the vector empty: a copy can grow while the original shrinks.
    template <class F>
    void ConsumeInOrder(F f) {
        for (std::size_t b = 0; b < vBlocks.size(); ++b) {
            const std::size_t iEnd = std::min(BLOCK_ITEMS, iSize - b * BLOCK_ITEMS);
            for (std::size_t i = 0; i < iEnd; ++i) f(vBlocks[b][i]);
            vBlocks[b].reset();
        }
        Clear();
    }
    // Forgets every record and frees the blocks.
    void Clear() {
        std::vector<std::unique_ptr<T[]>>().swap(vBlocks);
        iSize = 0;
    }

private:
    std::vector<std::unique_ptr<T[]>> vBlocks;
    std::size_t iSize = 0;
};

#endif
