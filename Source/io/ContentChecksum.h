#ifndef KORVEX_CONTENTCHECKSUM_H
#define KORVEX_CONTENTCHECKSUM_H

#include <cstddef>
#include <cstdint>
#include <string>

// The CRC-32 (as gzip and BGZF compute it) of a stream of bytes fed in pieces, and their count:
// what a file's content was, to tell whether two readings of it, or a file and its record in a
// manifest, agree.
class ContentChecksum {
public:
    void Add(const void* pData, std::size_t iLength);
    uint32_t Value() const { return iCrc; }
    int64_t Bytes() const { return iBytes; }
    // The CRC-32 as 8 hexadecimal digits, as manifests record it.
    std::string Hex() const;
    // "CRC-32 1a2b3c4d of 1234 bytes", for messages.
    std::string Describe() const;

    bool operator==(const ContentChecksum& other) const { return iCrc == other.iCrc && iBytes == other.iBytes; }
    bool operator!=(const ContentChecksum& other) const { return !(*this == other); }

    // A checksum recorded as Hex() and Bytes(); false when the texts are not such.
    static bool FromRecord(const std::string& sHex, const std::string& sBytes, ContentChecksum& checksum);

private:
    uint32_t iCrc = 0;
    int64_t iBytes = 0;
};

// Adds everything the descriptor holds, from its first byte on, to the checksum (the file
// position is not moved). False, with errno set, when reading fails.
bool AddFileContent(int iFd, ContentChecksum& checksum);

#endif
