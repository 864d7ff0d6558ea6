#ifndef KORVEX_MEMORYLINESOURCE_H
#define KORVEX_MEMORYLINESOURCE_H

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "LineSource.h"

// The lines of a text held in memory, split as a plain file is. Each line is handed out in a
// buffer of its own, one byte longer than the line (the writable byte after it) and freed at the
// next call: under AddressSanitizer a reader that reads past that byte or keeps a line is caught.
class MemoryLineSource : public LineSource {
public:
    explicit MemoryLineSource(std::string sAll) : sText(std::move(sAll)) {}

    bool NextLine(LineView& line) override {
        pLine.reset();
        if (iNext >= sText.size()) return false;
        const std::size_t iEnd = std::min(sText.find('\n', iNext), sText.size()), iLength = iEnd - iNext;
        pLine.reset(new char[iLength + 1]);
        std::memcpy(pLine.get(), sText.data() + iNext, iLength);
        pLine[iLength] = '\n';
        content.Add(sText.data() + iNext, std::min(iEnd + 1, sText.size()) - iNext);  // with its line end
        iNext = iEnd + 1;
        line = LineView{pLine.get(), iLength};
        return true;
    }
    const ContentChecksum& Checksum() const override { return content; }

private:
    std::string sText;
    std::size_t iNext = 0;          // first byte not yet handed out
    std::unique_ptr<char[]> pLine;  // the line handed out last
    ContentChecksum content;        // of the text handed out
};

#endif
