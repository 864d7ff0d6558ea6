#ifndef KORVEX_PLAINLINESOURCE_H
#define KORVEX_PLAINLINESOURCE_H

#include <cstdint>
#include <string>
#include <vector>

#include "LineSource.h"

// The lines of a stream of text that arrives in blocks: lines are handed out in place, with no
// copy per line. A last line without a line end is a line too; a line end after the last line
// starts no other. The blocks come from ReadBlock.
class BlockLineSource : public LineSource {
public:
    bool NextLine(LineView& line) override;
    const ContentChecksum& Checksum() const override { return content; }

protected:
    BlockLineSource();
    // Reads up to iMax bytes to pTo; 0 at the end of the text. Throws InputError on failure.
    virtual std::size_t ReadBlock(char* pTo, std::size_t iMax) = 0;
    int64_t LinesHandedOut() const { return iLines; }

private:
    bool Refill();

    std::vector<char> vBuffer;  // lines are handed out in place; grows for a line longer than it
    std::size_t iBegin;         // first byte not yet handed out
    std::size_t iEnd;           // one past the last byte read
    bool bEndOfText;
    int64_t iLines;
    ContentChecksum content;  // of every byte ReadBlock gave
};

// The lines of an uncompressed text file, read in large blocks.
class PlainLineSource : public BlockLineSource {
public:
    // Opens sPath, the SAM file; throws InputError naming it when it cannot be opened or read.
    explicit PlainLineSource(const std::string& sPath);
    // The same for another file, which messages call sDescription ("the values file (x.values)").
    PlainLineSource(const std::string& sPath, std::string sDescription);
    ~PlainLineSource() override;
    PlainLineSource(const PlainLineSource&) = delete;
    PlainLineSource& operator=(const PlainLineSource&) = delete;

private:
    std::size_t ReadBlock(char* pTo, std::size_t iMax) override;

    std::string sDescription;
    int iFd;  // owned; closed by the destructor
};

#endif
