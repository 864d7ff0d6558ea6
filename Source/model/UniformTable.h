#ifndef KORVEX_UNIFORMTABLE_H
#define KORVEX_UNIFORMTABLE_H

#include <atomic>
#include <cstddef>

// The uniforms of the stream from the default seeds, computed once per process and shared
// read-only by all threads. Every multiread's sampler starts from the default seeds and so
// reads a prefix of this one stream; reading it from memory is cheaper than generating it
// again for every multiread. The stream is kept in chunks of kChunkSize values: the first is
// made with the table; the others, which only long chains reach (long reads, pairs), on first
// use by whichever thread reaches them first, within the TableBudget. A chain that finds the
// next chunk not kept generates its values instead.
class UniformTable {
public:
    static constexpr std::size_t kChunkSize = std::size_t(1) << 20;
    static constexpr std::size_t kMaxChunks = 32;
    // Each chunk holds the kLead values before it too (the first holds zeros there), so that a
    // reader who needs several values at once across a chunk's start reads them in one place.
    static constexpr int kLead = 8;

    // Built on first use (thread-safe), then shared read-only by all threads.
    static const UniformTable& Shared();
    ~UniformTable();
    UniformTable(const UniformTable&) = delete;
    UniformTable& operator=(const UniformTable&) = delete;

    // The values of chunk k, from stream position k kChunkSize on (and the kLead before it),
    // made now when nobody made it yet; null when it is not kept: past kMaxChunks, over the
    // budget, or being made by another thread.
    const double* Chunk(std::size_t k) const;
    // The values of chunk k when they are made, else null; makes nothing.
    const double* MadeChunk(std::size_t k) const;

    const double* Begin() const { return MadeChunk(0); }
    const double* End() const { return Begin() + kChunkSize; }

private:
    UniformTable();
    // Claims chunk k and makes it, publishes and returns it; null over the budget and when
    // another thread claimed it first.
    const double* MakeChunk(std::size_t k) const;
    // What a chunk claimed but not (yet) made holds: an address no chunk has.
    static const double* NotKept();

    // Null until claimed; NotKept() while made or over the budget; then the chunk's values
    // (owned here, kLead after the start of their allocation), read-only.
    mutable std::atomic<const double*> apChunks[kMaxChunks];
};

#endif
