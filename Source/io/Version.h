#ifndef KORVEX_VERSION_H
#define KORVEX_VERSION_H

// The program's name and version, as --version, the log, the manual page, the @PG line of tagged
// output and the Debian package give them.
#define KORVEX_VERSION "2.0.0"

inline constexpr const char* PROGRAM_VERSION = KORVEX_VERSION;
inline constexpr const char* PROGRAM_NAME = "KORVEX v" KORVEX_VERSION;

// What the program computes, as its banner, --help and the manual page say it.
inline constexpr const char* PROGRAM_PURPOSE = "probabilities of the alignments of multireads";

#endif
