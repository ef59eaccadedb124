#include "components/delay.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace std::chrono_literals;

TEST(Delay, MapsEveryDurationToNowNeverOrAClampedDelay) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(components::toDelay(0), core::Duration::zero());
    EXPECT_EQ(components::toDelay(std::nan("")), core::Duration::zero());
    EXPECT_EQ(components::toDelay(-5), core::Duration::zero());
    EXPECT_EQ(components::toDelay(-inf), core::Duration::zero());
    EXPECT_EQ(components::toDelay(inf), std::nullopt);
    EXPECT_EQ(components::toDelay(1e300), components::kLongestDelay);
    EXPECT_EQ(components::toDelay(2.5), core::Duration(2500ms));
    EXPECT_EQ(components::toDelay(1e-9), core::Duration(1ns));
}

} // namespace
