#ifndef KORVEX_ORDEREDBLOCKS_H
#define KORVEX_ORDEREDBLOCKS_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

// Work on a stream in blocks: fill(block) reads the next block on the calling thread, in
// order, and returns false when there was nothing left to read; format(block) runs on one of
// iThreads - 1 helper threads, or on the calling thread while all blocks are in flight;
// write(block) runs in block order, one block at a time, on the thread that formatted the
// block that is next, so that writing overlaps with reading. At most
// iWindow blocks are in flight, in a ring whose storage is reused.
//
// Threads that wait sleep rather than spin, so that a machine shared with other work loses
// nothing to them. A failure stops the work at its block: no block from it on is filled,
// formatted or written, while the blocks before it still are. The failure rethrown on the
// calling thread, once the helpers have ended, is the one of the earliest block, the one that
// running the three block by block would have met first. On one thread they run just so.
template <class Block, class Fill, class Format, class Write>
void RunOrderedBlocks(int iThreads, std::size_t iWindow, Fill fill, Format format, Write write) {
    std::vector<Block> vBlocks(iWindow < 1 ? 1 : iWindow);
    if (iThreads <= 1) {
        Block& block = vBlocks[0];
        while (fill(block)) {
            format(block);
            write(block);
        }
        return;
    }

    // Blocks are numbered in stream order; block n lives in slot n % size. All below is guarded
    // by the mutex. A helper that finds no writer at work becomes the writer: it writes, outside
    // the lock, every block that is formatted and next in order.
    const std::size_t iSlots = vBlocks.size();
    std::mutex mutex;
    std::condition_variable cvFilled;   // a block to format, the end, or a failure
    std::condition_variable cvWritten;  // a slot to fill again, or a failure
    std::vector<char> vFormatted(iSlots, 0);
    uint64_t iFilled = 0, iTaken = 0, iWritten = 0;
    uint64_t iFailedBlock = UINT64_MAX;  // the earliest block that failed
    bool bEnd = false, bWriting = false;
    std::exception_ptr pError;

    auto fail = [&](uint64_t iBlock, std::exception_ptr pFailure) {  // with the lock held
        if (iBlock < iFailedBlock) {
            iFailedBlock = iBlock;
            pError = pFailure;
        }
        cvFilled.notify_all();
        cvWritten.notify_all();
    };
    // Blocks below this one are to be formatted and written.
    auto limit = [&] { return iFilled < iFailedBlock ? iFilled : iFailedBlock; };
    auto writeInOrder = [&](std::unique_lock<std::mutex>& lock) {
        while (iWritten < limit() && vFormatted[iWritten % iSlots]) {
            Block& block = vBlocks[iWritten % iSlots];
            lock.unlock();
            std::exception_ptr pFailure;
            try {
                write(block);
            } catch (...) {
                pFailure = std::current_exception();
            }
            lock.lock();
            if (pFailure) fail(iWritten, pFailure);
            vFormatted[iWritten % iSlots] = 0;
            ++iWritten;
            cvWritten.notify_one();
        }
    };
    // Formats the next block to take (there must be one) and, unless another thread is writing,
    // writes what is next; with the lock held.
    auto formatNext = [&](std::unique_lock<std::mutex>& lock) {
        const uint64_t iBlock = iTaken++;
        lock.unlock();
        std::exception_ptr pFailure;
        try {
            format(vBlocks[iBlock % iSlots]);
        } catch (...) {
            pFailure = std::current_exception();
        }
        lock.lock();
        if (pFailure) fail(iBlock, pFailure);
        vFormatted[iBlock % iSlots] = 1;
        if (!bWriting) {
            bWriting = true;
            writeInOrder(lock);
            bWriting = false;
        }
    };
    auto help = [&]() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            cvFilled.wait(lock, [&] { return iTaken < limit() || bEnd; });
            if (iTaken >= limit()) return;
            formatNext(lock);
        }
    };

    auto endAndJoin = [&](std::vector<std::thread>& vThreads) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            bEnd = true;
            cvFilled.notify_all();
        }
        for (std::thread& thread : vThreads) thread.join();
    };
    std::vector<std::thread> vHelpers;
    try {
        for (int i = 1; i < iThreads; ++i) vHelpers.emplace_back(help);
    } catch (...) {
        endAndJoin(vHelpers);
        throw;
    }
    for (;;) {
        // With every slot in flight, the reading thread formats rather than waits.
        std::unique_lock<std::mutex> lock(mutex);
        while (!pError && iFilled - iWritten >= iSlots) {
            if (iTaken < limit())
                formatNext(lock);
            else
                cvWritten.wait(lock);
        }
        if (pError) break;
        Block& block = vBlocks[iFilled % iSlots];
        lock.unlock();
        bool bMore = false;
        std::exception_ptr pFailure;
        try {
            bMore = fill(block);
        } catch (...) {
            pFailure = std::current_exception();
        }
        lock.lock();
        if (pFailure) fail(iFilled, pFailure);
        if (pError || !bMore) break;
        ++iFilled;
        cvFilled.notify_one();
    }
    endAndJoin(vHelpers);
    if (pError) std::rethrow_exception(pError);
}

#endif
