#include "Read.h"

#include <cstring>

int Read::MismatchCount() const {
    int iCount = 0;
    for (const ReadMismatch& mismatch : vMismatches)
        if (mismatch.position >= 0) ++iCount;
    return iCount;
}

int Read::QualityLength() const { return static_cast<int>(std::strlen(quality)); }
