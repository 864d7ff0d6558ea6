#ifndef KORVEX_ERRORSCORE_H
#define KORVEX_ERRORSCORE_H

#include <map>
#include <vector>

#include "Read.h"

// Per quality character: mismatches seen with it and occurrences in all.
struct Count {
    int iMismatches;
    int iTotal;
};

// Error score per quality character, estimated from the unique reads (map_1).
void calc_error_score(std::vector<MultiRead*>& uniqueReads, std::map<char, double>& error_score);

#endif
