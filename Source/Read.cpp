#include "Read.h"

#include <stdexcept>

Read::Read() {}
Read::Read(const Read& other) { *this = other; }
Read& Read::operator=(const Read&) { return *this; }
Read::~Read() {}
int Read::MismatchCount() const { return 0; }
int Read::QualityLength() const { return 0; }

MultiRead::~MultiRead() {}
void MultiRead::DeleteProfiles() {}
Read& MultiRead::Reads(int) { throw std::runtime_error("stub"); }
const Read& MultiRead::Reads(int) const { throw std::runtime_error("stub"); }
int MultiRead::Size() const { return 0; }
void ThrowReadIndexError(int, int) { throw std::runtime_error("stub"); }

template class MultiRead_t<1>;
template class MultiRead_t<2>;
template class MultiRead_t<3>;
template class MultiRead_t<4>;
template class MultiRead_t<5>;
