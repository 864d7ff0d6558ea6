#ifndef KORVEX_TABLEBUDGET_H
#define KORVEX_TABLEBUDGET_H

#include <cstddef>

// The memory that the tables computed once per process from the shared uniforms (the tangent
// jumps and the powers) keep together. They are filled chunk by chunk on first use, so the
// chunks that the run's chains reach first get it: at depth mostly jumps, at few covering
// reads mostly powers.
class TableBudget {
public:
    static constexpr std::size_t kBytes = std::size_t(8) << 20;

    // Takes iBytes of the budget; false, taking nothing, when that would exceed it. Thread-safe.
    static bool Take(std::size_t iBytes);
    // Gives back iBytes taken.
    static void GiveBack(std::size_t iBytes);
};

#endif
