#ifndef KORVEX_MEMORYLINESOURCE_H
#define KORVEX_MEMORYLINESOURCE_H

#include <cstring>
#include <memory>
#include <string>

#include "LineSource.h"

// The lines of a text held in memory, split as a plain file is. Each line is handed out in a
// buffer of its own, exactly one byte longer than the line (the writable byte after it), that
// is freed at the next call: under AddressSanitizer a reader that touches more than the
// LineSource contract allows, or keeps a line past the next call, is caught at once.
class MemoryLineSource : public LineSource {
public:
    explicit MemoryLineSource(std::string sText) : sText(std::move(sText)), iNext(0) {}

    bool NextLine(LineView& line) override {
        pLine.reset();
        if (iNext >= sText.size()) return false;
        const char* pNewline = static_cast<const char*>(std::memchr(sText.data() + iNext, '\n', sText.size() - iNext));
        const std::size_t iEnd = pNewline != nullptr ? static_cast<std::size_t>(pNewline - sText.data()) : sText.size();
        const std::size_t iLength = iEnd - iNext;
        pLine.reset(new char[iLength + 1]);
        std::memcpy(pLine.get(), sText.data() + iNext, iLength);
        pLine[iLength] = '\n';
        iNext = iEnd + 1;
        line = LineView{pLine.get(), iLength};
        return true;
    }

private:
    std::string sText;
    std::size_t iNext;              // first byte not yet handed out
    std::unique_ptr<char[]> pLine;  // the line handed out last
};

#endif
