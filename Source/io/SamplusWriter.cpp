#include "SamplusWriter.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "AtomicFile.h"
#include "InputFile.h"
#include "LineSources.h"
#include "NumberText.h"
#include "OrderedBlocks.h"

namespace {

// Input bytes after which a block is closed: big enough that handing a block to a thread costs
// little, small enough that the blocks in flight (four per thread) stay within a few megabytes.
const std::size_t BLOCK_BYTES = 1 << 17;
const std::size_t BLOCKS_PER_THREAD = 4;

// Consecutive input lines with their values (NaN where a line has none), and their SAMplus text.
struct LineBlock {
    std::vector<char> vText;         // the lines, one after another, without line ends
    std::vector<std::size_t> vEnds;  // where each line ends in vText
    std::vector<double> vValues;     // the value columns of each line
    std::vector<char> vOut;          // the block formatted: its first iOutSize bytes
    std::size_t iOutSize = 0;
};

// Reads lines into the block until it is full or the input ends; false when it holds none.
bool FillBlock(LineSource& lines, ValueCursor& cursor, int iColumns, int64_t& iLine, LineBlock& block) {
    block.vText.clear();
    block.vEnds.clear();
    block.vValues.clear();
    LineView line;
    while (block.vText.size() < BLOCK_BYTES && lines.NextLine(line)) {
        block.vText.insert(block.vText.end(), line.pData, line.pData + line.iLength);
        block.vEnds.push_back(block.vText.size());
        const double* pdValues = cursor.At(++iLine);
        for (int i = 0; i < iColumns; ++i)
            block.vValues.push_back(pdValues == nullptr ? std::numeric_limits<double>::quiet_NaN() : pdValues[i]);
    }
    return !block.vEnds.empty();
}

// Each line as it is, then a tab and one field per value column, each followed by a tab.
void FormatBlock(int iColumns, LineBlock& block) {
    const std::size_t iMaxSize = block.vText.size() + block.vEnds.size() * (1 + iColumns * (NUMBER_TEXT_SIZE + 1) + 1);
    if (block.vOut.size() < iMaxSize) block.vOut.resize(iMaxSize);
    char* pOut = block.vOut.data();
    std::size_t iStart = 0;
    const double* pdValues = block.vValues.data();
    for (std::size_t iEnd : block.vEnds) {
        std::memcpy(pOut, block.vText.data() + iStart, iEnd - iStart);
        pOut += iEnd - iStart;
        iStart = iEnd;
        *pOut++ = '\t';
        for (int i = 0; i < iColumns; ++i, ++pdValues) {
            if (std::isnan(*pdValues)) {
                *pOut++ = 'N';
                *pOut++ = 'A';
            } else {
                pOut += ShortNumberText(*pdValues, pOut);
            }
            *pOut++ = '\t';
        }
        *pOut++ = '\n';
    }
    block.iOutSize = static_cast<std::size_t>(pOut - block.vOut.data());
}

}  // namespace

ContentChecksum WriteSamplus(const InputFile& input, const InputOptions& inOptions, const OutputTarget& output,
                             LineValueSource& values, const EarlierReading& earlier) {
    const int iColumns = ValueColumns(output.mode);
    std::unique_ptr<LineSource> pLines = OpenLineSource(input, inOptions);
    AtomicFile out(output.sPath, &input);
    ValueCursor cursor(values, iColumns);
    int64_t iLine = 0;
    const int iThreads = output.iThreads;
    RunOrderedBlocks<LineBlock>(
        iThreads, BLOCKS_PER_THREAD * static_cast<std::size_t>(iThreads),
        [&](LineBlock& block) { return FillBlock(*pLines, cursor, iColumns, iLine, block); },
        [&](LineBlock& block) { FormatBlock(iColumns, block); },
        [&](LineBlock& block) { out.Write(block.vOut.data(), block.iOutSize); });
    CheckSecondReading(input, iLine, pLines->Checksum(), earlier, cursor);
    const ContentChecksum written = out.Checksum();
    out.Commit();
    return written;
}
