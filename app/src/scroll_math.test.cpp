#include "app/scroll_math.hpp"

#include <gtest/gtest.h>

namespace {

namespace ScrollMath = app::ScrollMath;
using app::HorizontalAlignment;
using app::VerticalAlignment;
using core::CGPoint;
using core::CGRect;
using core::CGSize;
using uikit::EdgeInsets;

TEST(ScrollMathTest, AShrunkContentIsHeldUntilItSettlesAtItsEnd) {
    // 3000 wide shrinking to 800 in a view 600 wide scrolled to 1400: the area stays 2000 wide
    // so the origin holds, then settles to 800 - 600 = 200.
    const auto held = ScrollMath::heldExtent({800, 400}, {1400, 0}, {600, 400});
    EXPECT_EQ(held, (ScrollMath::Extent{{2000, 400}, true}));
    EXPECT_EQ(ScrollMath::settleTarget(held.size, {800, 400}, {1400, 0}, {600, 400}),
              (CGPoint{200, 0}));
    // Content narrower than the view settles at 0, never before it.
    const auto narrow = ScrollMath::heldExtent({500, 400}, {1400, 0}, {600, 400});
    EXPECT_EQ(ScrollMath::settleTarget(narrow.size, {500, 400}, {1400, 0}, {600, 400}),
              (CGPoint{0, 0}));
    // Held on the vertical axis only: the horizontal origin stays where it is.
    const auto down = ScrollMath::heldExtent({3000, 300}, {700, 900}, {600, 400});
    EXPECT_EQ(down, (ScrollMath::Extent{{3000, 1300}, true}));
    EXPECT_EQ(ScrollMath::settleTarget(down.size, {3000, 300}, {700, 900}, {600, 400}),
              (CGPoint{700, 0}));
}

TEST(ScrollMathTest, WithinFivePointsOrWithoutContentNothingIsHeld) {
    // The visible extent reaches 1004 over content 1000 wide: within the tolerance.
    EXPECT_EQ(ScrollMath::heldExtent({1000, 600}, {404, 0}, {600, 400}),
              (ScrollMath::Extent{{1000, 600}, false}));
    EXPECT_TRUE(ScrollMath::heldExtent({1000, 600}, {406, 0}, {600, 400}).settle);
    EXPECT_EQ(ScrollMath::heldExtent({0, 0}, {0, 0}, {600, 400}),
              (ScrollMath::Extent{{0, 0}, false}));
    // Content smaller than the view, seen from its start, stays as it is.
    EXPECT_EQ(ScrollMath::heldExtent({500, 161}, {0, 0}, {600, 400}),
              (ScrollMath::Extent{{500, 161}, false}));
    EXPECT_TRUE(ScrollMath::heldExtent({500, 161}, {0, 6}, {600, 400}).settle);
}

TEST(ScrollMathTest, ScrollTargetsMoveOnlyAsNeededOrAsAligned) {
    const CGRect visible = CGRect::make(100, 100, 400, 300);
    const CGSize content{2000, 2000};
    auto target = [&](CGRect rect, std::optional<HorizontalAlignment> h = std::nullopt,
                      std::optional<VerticalAlignment> v = std::nullopt, EdgeInsets spacing = {}) {
        return ScrollMath::scrollTarget(rect, visible, spacing, h, v, content);
    };
    // Already inside: unchanged, so nothing to do.
    EXPECT_EQ(target(CGRect::make(150, 150, 50, 50)), std::nullopt);
    // Narrow targets beyond an edge come in by that edge.
    EXPECT_EQ(target(CGRect::make(600, 150, 50, 50)), (CGPoint{250, 100}));
    EXPECT_EQ(target(CGRect::make(20, 150, 50, 50)), (CGPoint{20, 100}));
    EXPECT_EQ(target(CGRect::make(150, 500, 50, 50)), (CGPoint{100, 250}));
    // A target wider than the view shows its start when beyond, its end when before, and
    // nothing moves while it covers the view.
    EXPECT_EQ(target(CGRect::make(600, 150, 500, 50)), (CGPoint{600, 100}));
    EXPECT_EQ(target(CGRect::make(-600, 150, 650, 50)), (CGPoint{0, 100}));
    EXPECT_EQ(target(CGRect::make(0, 150, 1000, 50)), std::nullopt);
    // Alignments place the target whatever the current origin.
    EXPECT_EQ(target(CGRect::make(1000, 1000, 100, 100), HorizontalAlignment::center,
                     VerticalAlignment::center),
              (CGPoint{850, 900}));
    EXPECT_EQ(target(CGRect::make(1000, 1000, 100, 100), HorizontalAlignment::leading,
                     VerticalAlignment::top, EdgeInsets{10, 20, 0, 0}),
              (CGPoint{980, 990}));
    EXPECT_EQ(target(CGRect::make(1000, 1000, 100, 100), HorizontalAlignment::trailing,
                     VerticalAlignment::bottom, EdgeInsets{0, 0, 10, 20}),
              (CGPoint{720, 810}));
    // Spacing counts when deciding whether a target is already shown.
    EXPECT_EQ(
        target(CGRect::make(120, 150, 50, 50), std::nullopt, std::nullopt, EdgeInsets{0, 30, 0, 0}),
        (CGPoint{90, 100}));
    // No visible area left inside the spacing: nothing.
    EXPECT_EQ(target(CGRect::make(600, 150, 50, 50), std::nullopt, std::nullopt,
                     EdgeInsets{0, 200, 0, 200}),
              std::nullopt);
}

TEST(ScrollMathTest, ScrollTargetsStayWithinTheContent) {
    const CGRect visible = CGRect::make(100, 100, 400, 300);
    // Past the end with a trailing margin, and before the start with a leading one.
    EXPECT_EQ(ScrollMath::scrollTarget(CGRect::make(1950, 1950, 50, 50), visible,
                                       EdgeInsets{0, 0, 40, 40}, HorizontalAlignment::trailing,
                                       VerticalAlignment::bottom, {2000, 2000}),
              (CGPoint{1600, 1700}));
    EXPECT_EQ(ScrollMath::scrollTarget(CGRect::make(5, 5, 50, 50), visible,
                                       EdgeInsets{10, 10, 0, 0}, HorizontalAlignment::leading,
                                       VerticalAlignment::top, {2000, 2000}),
              (CGPoint{0, 0}));
    // Content smaller than the view: the only origin is 0, which already holds there.
    EXPECT_EQ(ScrollMath::scrollTarget(CGRect::make(300, 50, 50, 50), CGRect::make(0, 0, 400, 300),
                                       {}, HorizontalAlignment::center, VerticalAlignment::center,
                                       {350, 200}),
              std::nullopt);
    EXPECT_EQ(ScrollMath::clamp({-3, 5000}, {1000, 800}, {400, 300}), (CGPoint{0, 500}));
}

TEST(ScrollMathTest, ItemTargetsAndTheHorizontalBar) {
    const CGRect frame = CGRect::make(330, 42, 89, 23);
    EXPECT_EQ(ScrollMath::itemTarget(frame, std::nullopt, std::nullopt), frame);
    EXPECT_EQ(ScrollMath::itemTarget(frame, 350.0, 400.0), CGRect::make(350, 42, 50, 23));
    EXPECT_EQ(ScrollMath::itemTarget(frame, 300.0, 500.0), frame);
    EXPECT_TRUE(ScrollMath::needsHorizontalBar(599, 600));
    EXPECT_FALSE(ScrollMath::needsHorizontalBar(600, 600));
}

} // namespace
