#include <gtest/gtest.h>

#include "SimpleRNG.h"

TEST(SimpleRNG, FirstOutputFromDefaultSeeds) {
    SimpleRNG rng;
    EXPECT_EQ(rng.GetUint(), 820856226u);
}
