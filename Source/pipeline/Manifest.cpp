#include "Manifest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

const char* const FIRST_LINE = "korvex-manifest 1";
const int64_t MEGABYTE = 1 << 20;

// 64-bit FNV-1a, continued over several pieces.
void HashBytes(uint64_t& iHash, const char* pData, std::size_t iLength) {
    for (std::size_t i = 0; i < iLength; ++i) {
        iHash ^= static_cast<unsigned char>(pData[i]);
        iHash *= 1099511628211ULL;
    }
}

// Hashes iLength bytes of the file from iOffset on.
void HashRange(uint64_t& iHash, int iFd, int64_t iOffset, int64_t iLength, const std::string& sPath) {
    std::vector<char> vBuffer(static_cast<std::size_t>(iLength));
    int64_t iDone = 0;
    while (iDone < iLength) {
        ssize_t iRead = pread(iFd, vBuffer.data() + iDone, static_cast<std::size_t>(iLength - iDone), iOffset + iDone);
        if (iRead < 0 && errno == EINTR) continue;
        if (iRead <= 0) throw std::runtime_error("the file (" + sPath + ") could not be read: " + std::strerror(errno));
        iDone += iRead;
    }
    HashBytes(iHash, vBuffer.data(), vBuffer.size());
}

}  // namespace

void Manifest::Set(const std::string& sKey, const std::string& sValue) {
    for (auto& entry : vEntries)
        if (entry.first == sKey) {
            entry.second = sValue;
            return;
        }
    vEntries.emplace_back(sKey, sValue);
}

const std::string* Manifest::Find(const std::string& sKey) const {
    for (const auto& entry : vEntries)
        if (entry.first == sKey) return &entry.second;
    return nullptr;
}

std::string Manifest::Text() const {
    std::string sText = std::string(FIRST_LINE) + "\n";
    for (const auto& entry : vEntries) sText += entry.first + "\t" + entry.second + "\n";
    return sText;
}

Manifest Manifest::Parse(const std::string& sText, const std::string& sFileName) {
    std::istringstream in(sText);
    std::string sLine;
    if (!std::getline(in, sLine) || sLine != FIRST_LINE)
        throw std::runtime_error("the file (" + sFileName + ") is not a KORVEX part manifest");
    Manifest manifest;
    for (int iLine = 2; std::getline(in, sLine); ++iLine) {
        const std::size_t iTab = sLine.find('\t');
        if (iTab == std::string::npos || iTab == 0)
            throw std::runtime_error("the manifest (" + sFileName + "), line " + std::to_string(iLine) +
                                     ": not a KEY<TAB>VALUE line");
        manifest.Set(sLine.substr(0, iTab), sLine.substr(iTab + 1));
    }
    return manifest;
}

InputIdentity IdentifyInput(const std::string& sPath, const std::string& sHeaderText) {
    const int iFd = open(sPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (iFd < 0) throw std::runtime_error("the file (" + sPath + ") could not be opened: " + std::strerror(errno));
    struct stat status;
    if (fstat(iFd, &status) != 0) {
        close(iFd);
        throw std::runtime_error("the file (" + sPath + ") could not be examined: " + std::strerror(errno));
    }
    InputIdentity identity;
    identity.iSize = status.st_size;
    char acModified[48];
    std::snprintf(acModified, sizeof(acModified), "%lld.%09ld", static_cast<long long>(status.st_mtim.tv_sec),
                  static_cast<long>(status.st_mtim.tv_nsec));
    identity.sModified = acModified;
    uint64_t iHash = 14695981039346656037ULL;
    try {
        HashBytes(iHash, sHeaderText.data(), sHeaderText.size());
        const int64_t iFirst = identity.iSize < MEGABYTE ? identity.iSize : MEGABYTE;
        HashRange(iHash, iFd, 0, iFirst, sPath);
        const int64_t iLastStart = identity.iSize > MEGABYTE ? identity.iSize - MEGABYTE : 0;
        HashRange(iHash, iFd, iLastStart, identity.iSize - iLastStart, sPath);
    } catch (...) {
        close(iFd);
        throw;
    }
    close(iFd);
    char acChecksum[24];
    std::snprintf(acChecksum, sizeof(acChecksum), "%016llx", static_cast<unsigned long long>(iHash));
    identity.sChecksum = acChecksum;
    return identity;
}

void AddIdentity(Manifest& manifest, const InputIdentity& identity) {
    manifest.Set("input_size", identity.iSize);
    manifest.Set("input_modified", identity.sModified);
    manifest.Set("input_checksum", identity.sChecksum);
}
