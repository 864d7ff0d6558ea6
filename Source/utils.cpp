#include "utils.h"

#include <sys/time.h>

#include "Logger.h"

namespace {
// The process-wide log, built before main runs and destroyed at exit.
Logger g_Logger;
}  // namespace

Logger* GetLogger() { return &g_Logger; }

int min_value(const std::vector<int>& numbers) {
    int iSmallest = numbers[0];
    for (int value : numbers)
        if (value < iSmallest) iSmallest = value;
    return iSmallest;
}

double WallClockSeconds() {
    timeval now;
    gettimeofday(&now, nullptr);
    return now.tv_sec + (now.tv_usec / 100 * 100) / 1000000.0;
}
