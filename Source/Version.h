#ifndef KORVEX_VERSION_H
#define KORVEX_VERSION_H

// The program's version, as --version, the log, the manual page, the @PG line of tagged output
// and the Debian package give it.
#define KORVEX_VERSION "2.0.0"

inline constexpr const char* PROGRAM_VERSION = KORVEX_VERSION;
inline constexpr const char* PROGRAM_NAME = "KORVEX v" KORVEX_VERSION;

#endif
