#ifndef KORVEX_UTILS_H
#define KORVEX_UTILS_H

#include <string>
#include <vector>

class Logger;

// The process-wide logger; never null.
Logger* GetLogger();

// Smallest element; numbers must not be empty.
int min_value(const std::vector<int>& numbers);

// Wall-clock seconds: whole seconds plus the microseconds truncated to a multiple of 100.
double WallClockSeconds();

#endif
