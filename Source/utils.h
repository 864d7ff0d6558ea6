#ifndef KORVEX_UTILS_H
#define KORVEX_UTILS_H

#include <string>
#include <vector>

class Logger;

// The process-wide logger; never null.
Logger* GetLogger();

// Smallest element; numbers must not be empty.
int min_value(const std::vector<int>& numbers);

// value in decimal, zero-padded (after the sign) to at least width characters.
std::string convertS(int value, int width);

// Wall-clock seconds: whole seconds plus the microseconds truncated to a multiple of 100.
double WallClockSeconds();

void print_v(std::vector<std::string> strings);
void print_array(int*** array, int count1, int count2, int count3);
void print_vv(std::vector<std::string*> arrays, int n);

#endif
