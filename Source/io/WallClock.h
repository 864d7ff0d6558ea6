#ifndef KORVEX_WALLCLOCK_H
#define KORVEX_WALLCLOCK_H

// Wall-clock seconds: whole seconds plus the microseconds truncated to a multiple of 100.
double WallClockSeconds();

#endif
