#ifndef KORVEX_ERRORSCORE_H
#define KORVEX_ERRORSCORE_H

#include <map>

#include "Read.h"

// Per quality character: mismatches seen with it and occurrences in all.
struct Count {
    int64_t iMismatches;
    int64_t iTotal;
};

// Counts, unique read by unique read, how often each quality character occurs and how often
// it marks a mismatch; the error score of a character is the second divided by the first.
// Adding the reads one by one, in any grouping, gives the same scores as all at once.
class ErrorScoreCounter {
public:
    ErrorScoreCounter();
    void Add(const Read& read);
    // Sets error_score[c] for every character counted; other entries stay as they were.
    void Finish(std::map<char, double>& error_score) const;

private:
    Count aCounts[256];  // indexed by the character's unsigned value; counted when iTotal > 0
};

#endif
