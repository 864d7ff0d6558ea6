#ifndef KORVEX_TABLEBUDGET_H
#define KORVEX_TABLEBUDGET_H

#include <cstddef>
#include <cstdint>

// The memory that the tables computed once per process from the shared uniforms (the tangent
// jumps and the powers) keep together. They are filled chunk by chunk on first use, so the
// chunks that the run's chains reach first get it: at depth mostly jumps, at few covering
// reads mostly powers. A run's chains read more of them the more multireads it has, so a
// big run is given more than the minimum. The tables that long chains reach can take a few
// hundred MB (those of 100-base chains at 30 covering reads about 180 MB), several times what
// a run of a million kept alignments needs for everything else.
class TableBudget {
public:
    static constexpr std::size_t kMinimumBytes = std::size_t(8) << 20;
    static constexpr std::size_t kBytesPerKeptAlignment = 20;

    // Raises the budget to what a run of iKeptAlignments kept alignments is given, when that
    // is more than it was; it is never lowered, so the tables kept stay within it. Thread-safe.
    static void ScaleToRun(std::int64_t iKeptAlignments);
    static std::size_t Bytes();
    // Takes iBytes of the budget; false, taking nothing, when that would exceed it. Thread-safe.
    static bool Take(std::size_t iBytes);
};

#endif
