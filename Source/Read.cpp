#include "Read.h"

#include <cstring>
#include <sstream>
#include <stdexcept>

namespace {

// Copies at most maxChars characters of a text field, NUL-fills the rest of those bytes
// and terminates the destination in its last byte, so a copy is always bounded text
// even when the source fills its whole field.
template <std::size_t FieldSize>
void CopyTextField(char (&dest)[FieldSize], const char (&source)[FieldSize]) {
    std::size_t length = strnlen(source, FieldSize - 1);
    std::memcpy(dest, source, length);
    std::memset(dest + length, 0, FieldSize - length);
}

}  // namespace

// Empty texts and zero numbers, so that even a Read never filled by the reader copies
// without reading indeterminate bytes.
Read::Read() : position(0), lineNumber(0), strand('+'), probability{0.0, 0.0} {
    readID[0] = '\0';
    chromosome[0] = '\0';
    quality[0] = '\0';
}

Read::Read(const Read& other) { *this = other; }

Read& Read::operator=(const Read& other) {
    if (this == &other) return *this;
    CopyTextField(readID, other.readID);
    CopyTextField(chromosome, other.chromosome);
    CopyTextField(quality, other.quality);
    position = other.position;
    lineNumber = other.lineNumber;
    strand = other.strand;
    for (int i = 0; i < 3; ++i) vMismatches[i] = other.vMismatches[i];
    probability[0] = other.probability[0];
    probability[1] = other.probability[1];
    return *this;
}

Read::~Read() {}

int Read::MismatchCount() const {
    int iCount = 0;
    for (const ReadMismatch& mismatch : vMismatches)
        if (mismatch.position >= 0) ++iCount;
    return iCount;
}

int Read::QualityLength() const { return static_cast<int>(strnlen(quality, sizeof(quality))); }

MultiRead::~MultiRead() {}

void MultiRead::DeleteProfiles() {}

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
