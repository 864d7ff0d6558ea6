#ifndef KORVEX_PLAINLINESOURCE_H
#define KORVEX_PLAINLINESOURCE_H

#include <cstdint>
#include <string>
#include <vector>

#include "LineSource.h"

// The lines of an uncompressed text file, read in large blocks with no copy per line. A last
// line without a line end is a line too; a line end after the last line starts no other.
class PlainLineSource : public LineSource {
public:
    // Opens sPath; throws InputError naming it when it cannot be opened.
    explicit PlainLineSource(const std::string& sPath);
    ~PlainLineSource() override;
    PlainLineSource(const PlainLineSource&) = delete;
    PlainLineSource& operator=(const PlainLineSource&) = delete;

    bool NextLine(LineView& line) override;

private:
    bool Refill();

    std::string sPath;
    int iFd;                  // owned; closed by the destructor
    std::vector<char> vBuffer;  // lines are handed out in place; grows for a line longer than it
    std::size_t iBegin;       // first byte not yet handed out
    std::size_t iEnd;         // one past the last byte read
    bool bEndOfFile;
};

#endif
