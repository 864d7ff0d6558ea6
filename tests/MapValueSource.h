#ifndef KORVEX_MAPVALUESOURCE_H
#define KORVEX_MAPVALUESOURCE_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <utility>

#include "LineValues.h"

// Values by line number, two columns each (a one-column reader or writer uses the first).
using ValueMap = std::map<int64_t, std::array<double, 2>>;

// Hands out the values of a ValueMap in line order, as the output and the merge take them.
struct MapValueSource : LineValueSource {
    explicit MapValueSource(ValueMap values_) : values(std::move(values_)), itNext(values.begin()) {}
    bool Next(int64_t& iLineNumber, double* pdValues) override {
        if (itNext == values.end()) return false;
        iLineNumber = itNext->first;
        std::copy(itNext->second.begin(), itNext->second.end(), pdValues);
        return ++itNext, true;
    }
    ValueMap values;
    ValueMap::const_iterator itNext;
};

#endif
