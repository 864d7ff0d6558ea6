#include "WallClock.h"

#include <sys/time.h>

double WallClockSeconds() {
    timeval now;
    gettimeofday(&now, nullptr);
    return now.tv_sec + (now.tv_usec / 100 * 100) / 1000000.0;
}
