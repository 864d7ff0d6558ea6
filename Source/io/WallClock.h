#ifndef KORVEX_WALLCLOCK_H
#define KORVEX_WALLCLOCK_H

// Wall-clock seconds: whole seconds plus the microseconds truncated to a multiple of 100.
double WallClockSeconds();

// What the process has used so far: its processor time (user and system, all threads) and the
// peak of its resident memory.
struct ResourceUsage {
    double dCpuSeconds = 0.0;
    long iPeakKibibytes = 0;
};
ResourceUsage ProcessResourceUsage();

#endif
