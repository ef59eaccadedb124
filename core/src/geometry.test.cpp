#include "core/geometry.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using core::CGLine;
using core::CGPoint;
using core::CGRect;
using core::CGSize;

TEST(Geometry, Points) {
    CGPoint p{1, 2};
    EXPECT_EQ(p.moved(2, -1), (CGPoint{3, 1}));
    p.offset(-1, -2);
    EXPECT_EQ(p, (CGPoint{0, 0}));
    EXPECT_DOUBLE_EQ(p.distance({3, 4}), 5.0);
}

TEST(Geometry, SegmentsTouchingAtAnEndIntersectButCollinearOverlapsDoNot) {
    const CGLine a = CGLine::make(0, 0, 2, 2);
    EXPECT_TRUE(a.intersects(CGLine::make(2, 2, 4, 0)));
    EXPECT_TRUE(a.intersects(CGLine::make(0, 2, 2, 0)));
    EXPECT_FALSE(a.intersects(CGLine::make(1, 1, 3, 3)));
    EXPECT_FALSE(a.intersects(CGLine::make(0, 1, 2, 3)));
    EXPECT_FALSE(a.intersects(CGLine::make(3, 0, 4, -1)));
    EXPECT_FALSE(a.intersects(CGLine::make(NAN, 0, 1, 1)));

    EXPECT_FALSE(CGLine::make(1, 0, 1, 5).y(3));
    EXPECT_FALSE(CGLine::make(0, 1, 5, 1).x(3));
    EXPECT_DOUBLE_EQ(*a.y(5), 5.0);
    EXPECT_DOUBLE_EQ(*CGLine::make(0, 0, 2, 4).x(1), 0.5);
    const CGLine reversed = CGLine::make(3, -1, -2, 4);
    EXPECT_EQ(reversed.minX(), -2);
    EXPECT_EQ(reversed.maxY(), 4);
}

TEST(Geometry, CentreAndResizing) {
    CGRect rect = CGRect::make(10, 20, 30, 40);
    EXPECT_EQ(rect.center(), (CGPoint{25, 40}));
    rect.setCenter({0, 0});
    EXPECT_EQ(rect, CGRect::make(-15, -20, 30, 40));

    const CGRect frame = CGRect::make(0, 0, 100, 50);
    EXPECT_EQ(frame.centerResized(CGSize{20, 10}), CGRect::make(40, 20, 20, 10));
    EXPECT_EQ(CGRect::centeredAt({50, 25}, {20, 10}), CGRect::make(40, 20, 20, 10));
    EXPECT_EQ(frame.inseted(60, 0, 60, 0), CGRect::make(60, 0, -20, 50));
    EXPECT_EQ(CGRect::spanning({5, 1}, {1, 4}), CGRect::spanning({1, 4}, {5, 1}));
    EXPECT_EQ(CGRect::spanning({5, 1}, {1, 4}), CGRect::make(1, 1, 4, 3));
    EXPECT_EQ(CGRect::make(0.2, 1.5, 1.0, 2.01).ceiled(), CGRect::make(1, 2, 1, 3));
}

TEST(Geometry, NegativeSizesUseStandardisedEdgesOnlyWhereStated) {
    const CGRect flipped = CGRect::make(10, 10, -4, -6);
    EXPECT_EQ(flipped.minX(), 6);
    EXPECT_EQ(flipped.maxY(), 10);
    EXPECT_EQ(flipped.width(), 4);
    EXPECT_EQ(flipped.maxXmidYPoint(), (CGPoint{10, 7}));
    EXPECT_EQ(flipped.minXminYPoint(), (CGPoint{10, 10}));
    EXPECT_EQ(flipped.fromBottomWithHeight(2), CGRect::make(10, 8, -4, 2));
    EXPECT_EQ(flipped.centerResizedWithWidth(2), CGRect::make(7, 4, 2, 6));
    EXPECT_EQ(flipped.withNewOriginX(0), CGRect::make(0, 10, -4, 6));
    EXPECT_EQ(flipped.fromRightWithWidth(2), CGRect::make(4, 10, 2, -6));
    EXPECT_EQ(flipped.withMaxX(0), CGRect::make(4, 10, -4, -6));
}

TEST(Geometry, IntersectionAndSizes) {
    CGRect a = CGRect::make(0, 0, 10, 10);
    a.intersect(CGRect::make(5, -5, 10, 10));
    EXPECT_EQ(a, CGRect::make(5, 0, 5, 5));
    a.intersect(CGRect::make(50, 50, 1, 1));
    EXPECT_TRUE(a.isNull());
    EXPECT_TRUE(std::isinf(a.x()));

    const CGSize size{4, 2};
    EXPECT_EQ(size.rectAtXMiddleOf(1, CGRect::make(0, 0, 10, 10)), CGRect::make(1, 4, 4, 2));
    EXPECT_EQ(size.rectAtYCenterOf(1, CGRect::make(0, 0, 10, 10)), CGRect::make(3, 1, 4, 2));
    EXPECT_EQ(size.increased(1, 1).scaled(2), (CGSize{10, 6}));
    EXPECT_EQ(CGRect::make(1, 2, 3, 4).scaled(2), CGRect::make(2, 4, 6, 8));
    EXPECT_EQ(CGRect::make(1, 2, 3, 4).sizeScaled(2), CGRect::make(1, 2, 6, 8));
}

} // namespace
