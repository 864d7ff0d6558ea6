// Regression tests for what the fuzz targets of fuzz/ found, each on the function that failed.
#include <gtest/gtest.h>

#include "Settings.h"

namespace {

// fuzz_config: a default bounded by another key was never checked against it, so
// TOTAL_ITERATIONS=100 alone ran with the default burn-in of 200 and wrote 0 as every posterior.
TEST(FuzzFindings, DefaultAboveTheKeyThatBoundsItIsRefused) {
    const struct { const char* pTotal; std::vector<std::string> vErrors; } cases[] = {
        {"100", {"BURNIN_ITERATIONS = 200 (the default) is outside 0 to 100 (TOTAL_ITERATIONS)"}},
        {"200", {}},
        {"abc", {"TOTAL_ITERATIONS = abc is not a whole number"}}};  // no bound known: no range refusal
    for (const auto& c : cases) {
        SettingSources sources;
        sources.filePairs = {{"STRANDNESS_OPTION", "ON"}, {"TOTAL_ITERATIONS", c.pTotal}};
        EXPECT_EQ(SettleSettings(sources).vErrors, c.vErrors) << c.pTotal;
    }
}

}  // namespace
