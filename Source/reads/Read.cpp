#include "Read.h"

#include <cstring>

int Read::QualityLength() const { return static_cast<int>(std::strlen(quality)); }
