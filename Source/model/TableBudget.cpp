#include "TableBudget.h"

#include <atomic>

namespace {
std::atomic<std::size_t> gBytesTaken(0);
}  // namespace

bool TableBudget::Take(std::size_t iBytes) {
    if (gBytesTaken.fetch_add(iBytes, std::memory_order_relaxed) + iBytes <= kBytes) return true;
    gBytesTaken.fetch_sub(iBytes, std::memory_order_relaxed);
    return false;
}

void TableBudget::GiveBack(std::size_t iBytes) { gBytesTaken.fetch_sub(iBytes, std::memory_order_relaxed); }
