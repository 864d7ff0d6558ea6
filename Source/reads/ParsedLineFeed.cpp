#include "ParsedLineFeed.h"

#include <algorithm>

namespace {

// The lines are taken and grouped on one thread, which a few parsing helpers already keep busy:
// more would only hold more blocks in flight.
const int MAX_HELPERS = 3;
const int SLOTS_PER_HELPER = 2;

}  // namespace

ParsedLineFeed::ParsedLineFeed(LineSource& source_, int iThreads, std::size_t iBlockBytes_)
    : source(source_), iBlockBytes(iBlockBytes_) {
    const int iHelpers = std::clamp(iThreads - 1, 1, MAX_HELPERS);
    vBlocks.resize(static_cast<std::size_t>(iHelpers * SLOTS_PER_HELPER + 2));
    vStates.assign(vBlocks.size(), SlotState::Free);
    try {
        for (int i = 0; i < iHelpers; ++i) vHelpers.emplace_back(&ParsedLineFeed::Help, this);
    } catch (...) {
        Stop();
        throw;
    }
}

ParsedLineFeed::~ParsedLineFeed() { Stop(); }

void ParsedLineFeed::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        bStop = true;
    }
    cvHelpers.notify_all();
    for (std::thread& helper : vHelpers)
        if (helper.joinable()) helper.join();
}

void ParsedLineFeed::Help() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!bStop) {
        if (TakeWork(lock)) continue;
        if (bSourceDone && iParseNext == iFilled) return;
        cvHelpers.wait(lock);
    }
}

// Parses the next block read, or else reads the next block when a slot is free and no other
// helper reads; with the lock held, released meanwhile. False when there is nothing to do.
bool ParsedLineFeed::TakeWork(std::unique_lock<std::mutex>& lock) {
    if (iParseNext < iFilled) {
        ParseTaken(iParseNext++, lock);
        return true;
    }
    if (bFilling || bSourceDone || iFilled - iCurrent >= vBlocks.size()) return false;
    bFilling = true;
    Block& block = BlockAt(iFilled);
    lock.unlock();
    Fill(block);
    lock.lock();
    bFilling = false;
    vStates[iFilled % vBlocks.size()] = SlotState::Filled;
    ++iFilled;
    if (block.bLast) bSourceDone = true;
    cvHelpers.notify_all();
    cvTaker.notify_one();
    return true;
}

void ParsedLineFeed::ParseTaken(uint64_t iBlock, std::unique_lock<std::mutex>& lock) {
    vStates[iBlock % vBlocks.size()] = SlotState::Parsing;
    lock.unlock();
    Parse(BlockAt(iBlock));
    lock.lock();
    vStates[iBlock % vBlocks.size()] = SlotState::Parsed;
    cvTaker.notify_one();
}

// Copies whole lines from the source into the block, each followed by '\n' (the writable byte
// after a line), until the block is full or the source ends or fails.
void ParsedLineFeed::Fill(Block& block) {
    block.vText.clear();
    block.iLines = 0;
    block.pError = nullptr;
    block.bLast = false;
    try {
        LineView line;
        while (block.vText.size() < iBlockBytes) {
            if (!source.NextLine(line)) {
                block.bLast = true;
                return;
            }
            if (block.iLines == block.vLines.size()) block.vLines.resize(block.vLines.size() * 2 + 64);
            ParsedLine& parsed = block.vLines[block.iLines++];
            parsed.line.iLength = line.iLength;
            parsed.iMdOffsetBegin = block.vText.size();  // the line's start until it is parsed
            block.vText.insert(block.vText.end(), line.pData, line.pData + line.iLength);
            block.vText.push_back('\n');
        }
    } catch (...) {
        block.pError = std::current_exception();
        block.bLast = true;
    }
}

void ParsedLineFeed::Parse(Block& block) {
    block.pParseError = nullptr;
    try {
        ParseLines(block);
    } catch (...) {
        block.pParseError = std::current_exception();
    }
}

void ParsedLineFeed::ParseLines(Block& block) {
    block.vMdOffsets.clear();
    std::vector<int> vLineOffsets;
    for (std::size_t i = 0; i < block.iLines; ++i) {
        ParsedLine& parsed = block.vLines[i];
        parsed.line.pData = block.vText.data() + parsed.iMdOffsetBegin;
        parsed.iMdOffsetBegin = block.vMdOffsets.size();
        TrimBlanks(parsed.line);
        parsed.bAlignment = parsed.line.iLength > 0 && parsed.line.pData[0] != '@';
        parsed.bSequenceExamined = false;
        if (!parsed.bAlignment) continue;
        SamFields& fields = parsed.fields;
        fields.Split(parsed.line.pData, parsed.line.iLength);
        if (!ExamineFixedFields(fields, parsed.verdict) || fields.LacksSequence()) continue;
        parsed.bSequenceExamined = true;
        const std::string_view sequence = fields.Field(SamFields::SEQUENCE);
        if (ExamineSequence(fields, sequence, fields.Field(SamFields::QUALITY), SequenceLength(sequence), parsed.verdict,
                            vLineOffsets))
            block.vMdOffsets.insert(block.vMdOffsets.end(), vLineOffsets.begin(), vLineOffsets.end());
    }
}

// Waits until the block is parsed; the waiting thread parses it itself when it is read and not
// yet taken.
void ParsedLineFeed::WaitForBlock(uint64_t iBlock) {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        if (iBlock < iFilled && vStates[iBlock % vBlocks.size()] == SlotState::Parsed) return;
        if (iParseNext == iBlock && iBlock < iFilled) {
            ParseTaken(iParseNext++, lock);
            continue;
        }
        cvTaker.wait(lock);
    }
}

bool ParsedLineFeed::Next(ParsedLine*& pLine) {
    if (!bStarted) {
        WaitForBlock(iCurrent);
        bStarted = true;
    }
    for (;;) {
        Block& block = BlockAt(iCurrent);
        if (block.pParseError) std::rethrow_exception(block.pParseError);
        if (iNextLine < block.iLines) {
            ParsedLine& parsed = block.vLines[iNextLine++];
            parsed.pMdOffsets = block.vMdOffsets.data() + parsed.iMdOffsetBegin;
            pLine = &parsed;
            return true;
        }
        if (block.bLast) {
            if (block.pError) std::rethrow_exception(block.pError);
            return false;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            vStates[iCurrent % vBlocks.size()] = SlotState::Free;
            ++iCurrent;
        }
        cvHelpers.notify_all();
        iNextLine = 0;
        WaitForBlock(iCurrent);
    }
}
