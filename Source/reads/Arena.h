#ifndef KORVEX_ARENA_H
#define KORVEX_ARENA_H

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

// Memory for a whole run in large blocks: one allocation per block instead of one per record
// or text, and nothing freed piece by piece. What was stored stays at its address until the
// arena is cleared, destroyed or rewound past it. Not thread-safe: one owner at a time.
class Arena {
public:
    // A point to rewind to: everything stored after it is forgotten (its memory reused).
    struct Mark {
        std::size_t iBlock;
        std::size_t iUsed;
    };

    // Blocks of iBlockSize bytes at least: large ones by default, for arenas that grow large;
    // an arena of a few texts takes small ones.
    explicit Arena(std::size_t iBlockSize = std::size_t{2} << 20) : iBlockBytes(iBlockSize) {}
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    void* Allocate(std::size_t iSize, std::size_t iAlignment);

    // A NUL-terminated copy of text.
    const char* StoreText(std::string_view text) {
        char* pCopy = static_cast<char*>(Allocate(text.size() + 1, 1));
        std::memcpy(pCopy, text.data(), text.size());
        pCopy[text.size()] = '\0';
        return pCopy;
    }

    // A new T built in the arena. T's destructor is never run, so T must not own anything.
    template <class T>
    T* Create() {
        return new (Allocate(sizeof(T), alignof(T))) T();
    }

    Mark GetMark() const { return Mark{iCurrent, iUsed}; }
    void Rewind(const Mark& mark);
    // Forgets everything; the blocks are kept for reuse.
    void Clear() { Rewind(Mark{0, 0}); }
    // Forgets everything and frees the blocks.
    void Release();
    // Bytes held in blocks, used or not.
    std::size_t Capacity() const;

private:
    struct FreeBlock {
        void operator()(char* pData) const;
    };
    struct Block {
        std::unique_ptr<char, FreeBlock> pData;  // owned by the arena
        std::size_t iSize;
    };

    void StartBlock(std::size_t iAtLeast);

    std::size_t iBlockBytes;
    std::vector<Block> vBlocks;
    std::size_t iCurrent = 0;  // the block being filled, when vBlocks is not empty
    std::size_t iUsed = 0;     // bytes used in it
};

#endif
