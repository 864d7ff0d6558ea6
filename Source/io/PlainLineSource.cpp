#include "PlainLineSource.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {
const std::size_t BLOCK_SIZE = 1 << 20;
}  // namespace

BlockLineSource::BlockLineSource() : vBuffer(BLOCK_SIZE), iBegin(0), iEnd(0), bEndOfText(false), iLines(0) {}

// Moves the unread bytes to the front, grows the buffer when they fill it, and reads more.
// False once the end of the text is reached.
bool BlockLineSource::Refill() {
    if (bEndOfText) return false;
    if (iBegin > 0) {
        std::memmove(vBuffer.data(), vBuffer.data() + iBegin, iEnd - iBegin);
        iEnd -= iBegin;
        iBegin = 0;
    }
    if (iEnd == vBuffer.size()) vBuffer.resize(vBuffer.size() * 2);
    const std::size_t iRead = ReadBlock(vBuffer.data() + iEnd, vBuffer.size() - iEnd);
    if (iRead == 0) bEndOfText = true;
    content.Add(vBuffer.data() + iEnd, iRead);
    iEnd += iRead;
    return iRead > 0;
}

bool BlockLineSource::NextLine(LineView& line) {
    std::size_t iSearchFrom = iBegin;
    for (;;) {
        char* pStart = vBuffer.data() + iBegin;
        char* pNewline = static_cast<char*>(std::memchr(vBuffer.data() + iSearchFrom, '\n', iEnd - iSearchFrom));
        if (pNewline != nullptr) {
            line.pData = pStart;
            line.iLength = static_cast<std::size_t>(pNewline - pStart);
            iBegin += line.iLength + 1;
            ++iLines;
            return true;
        }
        std::size_t iScanned = iEnd - iBegin;
        if (!Refill()) break;
        iSearchFrom = iBegin + iScanned;
    }
    if (iBegin == iEnd) return false;
    if (iEnd == vBuffer.size()) vBuffer.push_back('\0');  // the spare byte after the last line
    line.pData = vBuffer.data() + iBegin;                 // the last line, without a line end
    line.iLength = iEnd - iBegin;
    iBegin = iEnd;
    ++iLines;
    return true;
}

PlainLineSource::PlainLineSource(const std::string& sPath) : PlainLineSource(sPath, DescribeSamFile(sPath)) {}

PlainLineSource::PlainLineSource(const std::string& sPath, std::string sDescription_)
    : sDescription(std::move(sDescription_)), iFd(-1) {
    iFd = ::open(sPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (iFd < 0) throw InputError(sDescription + " cannot be opened: " + std::strerror(errno));
}

PlainLineSource::~PlainLineSource() {
    if (iFd >= 0) ::close(iFd);
}

std::size_t PlainLineSource::ReadBlock(char* pTo, std::size_t iMax) {
    ssize_t iRead;
    do {
        iRead = ::read(iFd, pTo, iMax);
    } while (iRead < 0 && errno == EINTR);
    if (iRead < 0) throw InputError(sDescription + " cannot be read: " + std::strerror(errno));
    return static_cast<std::size_t>(iRead);
}
