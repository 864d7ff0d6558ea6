#include "TableBudget.h"

#include <atomic>

namespace {
std::atomic<std::size_t> gBytesAllowed(TableBudget::kMinimumBytes);
std::atomic<std::size_t> gBytesTaken(0);
}  // namespace

void TableBudget::ScaleToRun(std::int64_t iKeptAlignments) {
    if (iKeptAlignments <= 0) return;
    const std::size_t iBytes = kBytesPerKeptAlignment * static_cast<std::size_t>(iKeptAlignments);
    std::size_t iAllowed = gBytesAllowed.load(std::memory_order_relaxed);
    while (iBytes > iAllowed && !gBytesAllowed.compare_exchange_weak(iAllowed, iBytes, std::memory_order_relaxed)) {
    }
}

std::size_t TableBudget::Bytes() { return gBytesAllowed.load(std::memory_order_relaxed); }

bool TableBudget::Take(std::size_t iBytes) {
    if (gBytesTaken.fetch_add(iBytes, std::memory_order_relaxed) + iBytes <= Bytes()) return true;
    gBytesTaken.fetch_sub(iBytes, std::memory_order_relaxed);
    return false;
}
