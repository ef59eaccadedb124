#include "app/spring.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

TEST(Spring, StartsAtRestOvershootsSlightlyAndSettlesAtOne) {
    const app::Spring spring;
    EXPECT_EQ(spring.value(0), 0);
    EXPECT_EQ(spring.value(-1), 0);
    double highest = 0;
    for (int step = 1; step <= 200; ++step) {
        highest = std::max(highest, spring.value(step * 0.005));
    }
    // 0.825 of critical damping overshoots by about one per cent.
    EXPECT_GT(highest, 1.005);
    EXPECT_LT(highest, 1.02);
    const double settled = spring.settlingTime();
    EXPECT_GT(settled, 0.5);
    EXPECT_LT(settled, 1.0);
    for (double t = settled; t < settled + 1; t += 0.01) {
        EXPECT_NEAR(spring.value(t), 1, 0.001);
    }
    // A stiffer spring moves faster.
    const app::Spring stiff{0.2, 0.825};
    EXPECT_GT(stiff.value(0.05), spring.value(0.05));
}

} // namespace
