#ifndef KORVEX_PARSEDLINEFEED_H
#define KORVEX_PARSEDLINEFEED_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "AlignmentLine.h"
#include "LineSource.h"

// Text read into one block: large enough that the threads meet rarely, small enough that the
// blocks in flight hold little memory.
const std::size_t PARSED_BLOCK_BYTES = 256 * 1024;

// A line of input as the feed hands it out: trimmed of blanks and tabs, and, when it is an
// alignment line, split into fields and examined on its own. The line's text may be changed in
// place, and so may the byte after it; all stays valid until the next call of Next.
struct ParsedLine {
    LineView line;
    bool bAlignment;  // not empty and not a header line: fields and verdict are set
    // The verdict holds the checks that need no other line, and when the line has SEQ and QUAL
    // those of ExamineSequence too, for its own SEQ and QUAL as the whole read.
    bool bSequenceExamined;
    SamFields fields;
    AlignmentVerdict verdict;
    const int* pMdOffsets;       // the mismatch offsets of an accepted line (set by Next)
    std::size_t iMdOffsetBegin;  // where they start in the block's offsets
};

// The lines of a LineSource, read ahead in blocks of whole lines and parsed on helper threads,
// handed out one by one in the source's order. One helper at a time reads the source (and so
// keeps its checksum), in block order; any helper parses any block read; the thread that takes
// the lines parses too rather than wait when the next block is read but not yet taken. A
// failure to read is rethrown after every line read before it has been handed out. The
// destructor stops and joins the helpers.
class ParsedLineFeed {
public:
    // iThreads: the threads in all, the one that takes the lines included (at least 2);
    // iBlockBytes: the text read into a block before it is handed on (at least one line).
    ParsedLineFeed(LineSource& source, int iThreads, std::size_t iBlockBytes = PARSED_BLOCK_BYTES);
    ~ParsedLineFeed();
    ParsedLineFeed(const ParsedLineFeed&) = delete;
    ParsedLineFeed& operator=(const ParsedLineFeed&) = delete;

    // The next line; false after the last. Throws what reading the source threw, in its place.
    bool Next(ParsedLine*& pLine);

private:
    struct Block {
        std::vector<char> vText;          // the lines, each followed by '\n'; reused
        std::vector<ParsedLine> vLines;   // grows, never shrinks: the first iLines are the block's
        std::size_t iLines = 0;
        std::vector<int> vMdOffsets;      // of every accepted line, line after line; reused
        std::exception_ptr pError;        // what reading threw after the lines above
        std::exception_ptr pParseError;   // what parsing threw (out of memory): no line is usable
        bool bLast = false;               // the source ended, or failed, in this block
    };
    enum class SlotState : uint8_t { Free, Filled, Parsing, Parsed };

    void Stop();
    void Help();
    bool TakeWork(std::unique_lock<std::mutex>& lock);
    void Fill(Block& block);
    void Parse(Block& block);
    void ParseLines(Block& block);
    void ParseTaken(uint64_t iBlock, std::unique_lock<std::mutex>& lock);
    void WaitForBlock(uint64_t iBlock);
    Block& BlockAt(uint64_t iBlock) { return vBlocks[iBlock % vBlocks.size()]; }

    LineSource& source;
    std::size_t iBlockBytes;
    std::vector<Block> vBlocks;       // a ring: block n lives in slot n % size
    std::vector<std::thread> vHelpers;

    // Guarded by the mutex.
    std::mutex mutex;
    std::condition_variable cvHelpers;  // a block to parse or a slot to fill, or the end
    std::condition_variable cvTaker;    // a block parsed
    std::vector<SlotState> vStates;
    uint64_t iFilled = 0;    // blocks read so far
    uint64_t iParseNext = 0; // the next block to parse
    uint64_t iCurrent = 0;   // the block whose lines are being handed out; slots before it are free
    bool bFilling = false;   // a helper is reading the source
    bool bSourceDone = false;
    bool bStop = false;

    // The taker's own.
    std::size_t iNextLine = 0;  // in the current block
    bool bStarted = false;
};

#endif
