#include "WallClock.h"

#include <sys/resource.h>
#include <sys/time.h>

double WallClockSeconds() {
    timeval now;
    gettimeofday(&now, nullptr);
    return now.tv_sec + (now.tv_usec / 100 * 100) / 1000000.0;
}

ResourceUsage ProcessResourceUsage() {
    ResourceUsage resources;
    struct rusage usage {};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return resources;
    auto Seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1000000.0; };
    resources.dCpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    resources.iPeakKibibytes = usage.ru_maxrss;  // kibibytes on Linux
    return resources;
}
