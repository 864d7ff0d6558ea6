#include "ContentChecksum.h"

#include <libdeflate.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <vector>

namespace {
const std::size_t READ_BLOCK = 1 << 20;
}  // namespace

void ContentChecksum::Add(const void* pData, std::size_t iLength) {
    iCrc = libdeflate_crc32(iCrc, pData, iLength);
    iBytes += static_cast<int64_t>(iLength);
}

std::string ContentChecksum::Hex() const {
    char acHex[9];
    std::snprintf(acHex, sizeof(acHex), "%08x", static_cast<unsigned>(iCrc));
    return acHex;
}

std::string ContentChecksum::Describe() const { return "CRC-32 " + Hex() + " of " + std::to_string(iBytes) + " bytes"; }

bool ContentChecksum::FromRecord(const std::string& sHex, const std::string& sBytes, ContentChecksum& checksum) {
    const char* pHexEnd = sHex.data() + sHex.size();
    const char* pBytesEnd = sBytes.data() + sBytes.size();
    uint32_t iCrc = 0;
    int64_t iBytes = 0;
    std::from_chars_result crc = std::from_chars(sHex.data(), pHexEnd, iCrc, 16);
    std::from_chars_result bytes = std::from_chars(sBytes.data(), pBytesEnd, iBytes);
    if (sHex.size() != 8 || crc.ec != std::errc() || crc.ptr != pHexEnd || bytes.ec != std::errc() ||
        bytes.ptr != pBytesEnd || iBytes < 0)
        return false;
    checksum.iCrc = iCrc;
    checksum.iBytes = iBytes;
    return true;
}

bool AddFileContent(int iFd, ContentChecksum& checksum) {
    std::vector<char> vBlock(READ_BLOCK);
    for (off_t iOffset = 0;;) {
        ssize_t iRead = ::pread(iFd, vBlock.data(), vBlock.size(), iOffset);
        if (iRead < 0 && errno == EINTR) continue;
        if (iRead < 0) return false;
        if (iRead == 0) return true;
        checksum.Add(vBlock.data(), static_cast<std::size_t>(iRead));
        iOffset += iRead;
    }
}
