#ifndef KORVEX_LINEVALUES_H
#define KORVEX_LINEVALUES_H

#include <cstdint>

// The probability values of the input lines that carry them, in ascending line order. Each
// such line has the run's number of values (1 or 2, by PROB_OUTPUT); a value this run did not
// compute (a multiread of another part) is NaN.
class LineValueSource {
public:
    virtual ~LineValueSource() = default;
    // The next line that carries values: its 1-based number and its values. False after the last.
    virtual bool Next(int64_t& iLineNumber, double* pdValues) = 0;
};

#endif
