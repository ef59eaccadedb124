#include "uikit/vt_rounded_rectangle.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <cmath>
#include <limits>

namespace {

using uikit::VtRoundedRectangle;

// A point just inside a corner's bounding square along its diagonal lies outside an arc of
// radius r exactly when r is large enough to cut it away: at (d, d) from the corner, the arc's
// distance from its centre is r * sqrt(2) - d * sqrt(2) > r  <=>  d < r * (1 - 1/sqrt(2)).
bool cornerCutAt(const QPainterPath& path, QPointF corner, QPointF inward, qreal d) {
    return !path.contains(corner + inward * d);
}

TEST(VtRoundedRectangle, ARadiusIsCutToHalfTheShorterSide) {
    const QPainterPath path = VtRoundedRectangle(30, 30, 30, 30).path(QSizeF(100, 40));
    // Corners of 20: the point (5, 5) is outside the arc (20 * 0.29 = 5.86 > 5), (7, 7) inside;
    // a radius of 30 would still cut (7, 7) away (30 * 0.29 = 8.8).
    EXPECT_TRUE(cornerCutAt(path, {0, 0}, {1, 1}, 5));
    EXPECT_FALSE(cornerCutAt(path, {0, 0}, {1, 1}, 7));
    EXPECT_TRUE(cornerCutAt(path, {100, 40}, {-1, -1}, 5));
    EXPECT_FALSE(cornerCutAt(path, {100, 40}, {-1, -1}, 7));
    // The straight left edge between the arcs is gone: both arcs meet at mid-height.
    EXPECT_TRUE(path.contains(QPointF(0.5, 20)));
    EXPECT_FALSE(path.contains(QPointF(0.5, 10)));
    EXPECT_EQ(path.boundingRect(), QRectF(0, 0, 100, 40));

    // Standing on end, the width is the shorter side that cuts the radius.
    const QPainterPath tall = VtRoundedRectangle(30, 30, 30, 30).path(QSizeF(40, 100));
    EXPECT_TRUE(cornerCutAt(tall, {0, 0}, {1, 1}, 5));
    EXPECT_FALSE(cornerCutAt(tall, {0, 0}, {1, 1}, 7));
    EXPECT_TRUE(cornerCutAt(tall, {40, 100}, {-1, -1}, 5));
    EXPECT_FALSE(cornerCutAt(tall, {40, 100}, {-1, -1}, 7));
    // The top edge is one point at mid-width where the two arcs meet.
    EXPECT_TRUE(tall.contains(QPointF(20, 0.5)));
    EXPECT_FALSE(tall.contains(QPointF(10, 0.5)));
    EXPECT_EQ(tall.boundingRect(), QRectF(0, 0, 40, 100));
}

TEST(VtRoundedRectangle, EachCornerKeepsItsOwnRadiusOnItsNamedCorner) {
    // top-left 0, top-right 10, bottom-left 20, bottom-right 30.
    const QPainterPath path = VtRoundedRectangle(0, 10, 20, 30).path(QSizeF(200, 100));
    EXPECT_TRUE(path.contains(QPointF(0.5, 0.5))); // square
    EXPECT_TRUE(cornerCutAt(path, {200, 0}, {-1, 1}, 2.5));
    EXPECT_FALSE(cornerCutAt(path, {200, 0}, {-1, 1}, 3.5));
    EXPECT_TRUE(cornerCutAt(path, {0, 100}, {1, -1}, 5.5));
    EXPECT_FALSE(cornerCutAt(path, {0, 100}, {1, -1}, 6.5));
    EXPECT_TRUE(cornerCutAt(path, {200, 100}, {-1, -1}, 8.5));
    EXPECT_FALSE(cornerCutAt(path, {200, 100}, {-1, -1}, 9.5));
}

TEST(VtRoundedRectangle, TheOutlineIsClosedAndIgnoresTheRectanglesOrigin) {
    const VtRoundedRectangle shape(10, 10, 10, 10);
    const QPainterPath atOrigin = shape.path(QRectF(0, 0, 80, 60));
    const QPainterPath offset = shape.path(QRectF(35, -12, 80, 60));
    EXPECT_EQ(atOrigin, offset);
    ASSERT_GT(offset.elementCount(), 0);
    EXPECT_EQ(QPointF(offset.elementAt(0)), QPointF(40, 0));
    EXPECT_EQ(offset.currentPosition(), QPointF(40, 0));
    EXPECT_EQ(offset.fillRule(), Qt::WindingFill);
}

TEST(VtRoundedRectangle, DegenerateSizesAndRadiiGiveNoOrSquareOutlines) {
    const qreal nan = std::numeric_limits<qreal>::quiet_NaN();
    EXPECT_TRUE(VtRoundedRectangle(5, 5, 5, 5).path(QSizeF(0, 10)).isEmpty());
    EXPECT_TRUE(VtRoundedRectangle(5, 5, 5, 5).path(QSizeF(-10, 10)).isEmpty());
    EXPECT_TRUE(VtRoundedRectangle(5, 5, 5, 5).path(QSizeF(nan, 10)).isEmpty());
    // Negative and NaN radii draw square corners rather than arcs turned inside out.
    const QPainterPath square = VtRoundedRectangle(-20, nan, 0, 0).path(QSizeF(50, 50));
    EXPECT_TRUE(square.contains(QPointF(0.5, 0.5)));
    EXPECT_TRUE(square.contains(QPointF(49.5, 0.5)));
    EXPECT_EQ(square.boundingRect(), QRectF(0, 0, 50, 50));
}

TEST(VtRoundedRectangle, PainterClipKeepsPaintInsideTheOutlineAtTheRectanglesPlace) {
    QImage image(120, 80, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        VtRoundedRectangle(20, 20, 20, 20).clip(painter, QRectF(10, 10, 100, 60));
        painter.fillRect(image.rect(), Qt::red);
    }
    EXPECT_EQ(qAlpha(image.pixel(5, 40)), 0);    // outside the rectangle
    EXPECT_EQ(qAlpha(image.pixel(11, 11)), 0);   // cut corner
    EXPECT_EQ(qAlpha(image.pixel(60, 40)), 255); // middle
    EXPECT_EQ(qAlpha(image.pixel(108, 40)), 255);
}

TEST(VtRoundedRectangle, CornerRadiusMasksTheWidgetAndFollowsItsSize) {
    QWidget window;
    QWidget widget(&window);
    widget.resize(100, 100);
    window.show(); // a hidden widget defers its resize events until it is shown
    uikit::vtCornerRadius(widget, 30, 0, 0, 0);
    EXPECT_FALSE(widget.mask().contains(QPoint(2, 2)));
    EXPECT_TRUE(widget.mask().contains(QPoint(97, 2)));
    widget.resize(200, 50);
    EXPECT_TRUE(widget.mask().contains(QPoint(190, 40)));
    EXPECT_FALSE(widget.mask().contains(QPoint(2, 2)));
    // A second call replaces the shape instead of stacking another keeper.
    uikit::vtCornerRadius(widget, 0, 0, 0, 25);
    EXPECT_TRUE(widget.mask().contains(QPoint(1, 1)));
    EXPECT_FALSE(widget.mask().contains(QPoint(198, 48)));
}

} // namespace
