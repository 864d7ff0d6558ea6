#include "FileDescriptor.h"

#include <unistd.h>

#include <cerrno>

bool WriteAll(int iFd, const char* pData, std::size_t iLength) {
    while (iLength > 0) {
        const ssize_t iWritten = ::write(iFd, pData, iLength);
        if (iWritten < 0 && errno == EINTR) continue;
        if (iWritten < 0) return false;
        pData += iWritten;
        iLength -= static_cast<std::size_t>(iWritten);
    }
    return true;
}
