#include "Read.h"

#include <cstring>
#include <sstream>
#include <stdexcept>

int Read::MismatchCount() const {
    int iCount = 0;
    for (const ReadMismatch& mismatch : vMismatches)
        if (mismatch.position >= 0) ++iCount;
    return iCount;
}

int Read::QualityLength() const { return static_cast<int>(std::strlen(quality)); }

MultiRead::~MultiRead() {}

static const char* const BASE_READS_ERROR =
    "Reads: Please do not call this base function; you should only call derivatives.\n";

Read& MultiRead::Reads(int) { throw std::runtime_error(BASE_READS_ERROR); }

const Read& MultiRead::Reads(int) const { throw std::runtime_error(BASE_READS_ERROR); }

int MultiRead::Size() const { return 0; }

void ThrowReadIndexError(int i, int size) {
    std::ostringstream message;
    message << "Reads" << ": index (" << i << ") was not between zero and Size()-1 inclusive."
            << "  Size is (" << size << ").\n";
    throw std::runtime_error(message.str());
}

template class MultiRead_t<1>;
template class MultiRead_t<2>;
template class MultiRead_t<3>;
template class MultiRead_t<4>;
template class MultiRead_t<5>;
