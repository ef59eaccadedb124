#pragma once

#include <optional>

// Plain two-dimensional geometry in double-precision coordinates. A rectangle stores its origin
// and size as given (either may be negative); the edge readers (`minX()` ... `height()`) read it
// standardised, with a negative width or height turned positive and the origin moved to match.

namespace core {

/// A point.
struct CGPoint {
    double x = 0;
    double y = 0;

    /// A new point moved by (byX, byY).
    CGPoint moved(double byX, double byY) const noexcept { return {x + byX, y + byY}; }
    /// Moves this point by (byX, byY).
    void offset(double byX, double byY) noexcept {
        x += byX;
        y += byY;
    }
    /// The Euclidean distance to `other`.
    double distance(const CGPoint& other) const noexcept;

    friend bool operator==(const CGPoint&, const CGPoint&) = default;
};

struct CGRect;

/// A width and height.
struct CGSize {
    double width = 0;
    double height = 0;

    /// Both dimensions multiplied by `factor`.
    CGSize scaled(double factor) const noexcept { return {width * factor, height * factor}; }
    /// Both dimensions rounded up.
    CGSize ceiled() const noexcept;
    /// The size grown by (byWidth, byHeight).
    CGSize increased(double byWidth, double byHeight) const noexcept {
        return {width + byWidth, height + byHeight};
    }
    /// The rectangle of this size at the origin.
    CGRect rect() const noexcept;
    /// The rectangle of this size at `origin`.
    CGRect rect(const CGPoint& origin) const noexcept;
    /// The rectangle of this size at x, centred vertically on `other`.
    CGRect rectAtXMiddleOf(double x, const CGRect& other) const noexcept;
    /// The rectangle of this size at y, centred horizontally on `other`.
    CGRect rectAtYCenterOf(double y, const CGRect& other) const noexcept;

    friend bool operator==(const CGSize&, const CGSize&) = default;
};

/// A rectangle: an origin and a size, both as stored.
struct CGRect {
    CGPoint origin;
    CGSize size;

    /// The rectangle (x, y, width, height).
    static CGRect make(double x, double y, double width, double height) noexcept {
        return {{x, y}, {width, height}};
    }
    /// The rectangle of `size` centred on `center`.
    static CGRect centeredAt(const CGPoint& center, const CGSize& size) noexcept;
    /// The rectangle spanned by two corner points given in any order.
    static CGRect spanning(const CGPoint& point1, const CGPoint& point2) noexcept;
    /// The null rectangle (+inf, +inf, 0, 0): the intersection of rectangles that do not meet.
    static CGRect null() noexcept;

    /// True for the null rectangle.
    bool isNull() const noexcept;
    /// The stored origin x.
    double x() const noexcept { return origin.x; }
    /// The stored origin y.
    double y() const noexcept { return origin.y; }
    /// The left edge of the standardised rectangle.
    double minX() const noexcept;
    /// The horizontal middle.
    double midX() const noexcept;
    /// The right edge of the standardised rectangle.
    double maxX() const noexcept;
    /// The top edge (smallest y) of the standardised rectangle.
    double minY() const noexcept;
    /// The vertical middle.
    double midY() const noexcept;
    /// The bottom edge (largest y) of the standardised rectangle.
    double maxY() const noexcept;
    /// The absolute width.
    double width() const noexcept;
    /// The absolute height.
    double height() const noexcept;

    /// (x + W / 2, y + H / 2) from the stored components.
    CGPoint center() const noexcept;
    /// Moves the origin so the centre is `center`; the size stays.
    void setCenter(const CGPoint& center) noexcept;

    /// The stored origin.
    CGPoint minXminYPoint() const noexcept { return origin; }
    /// (midX, minY).
    CGPoint midXminYPoint() const noexcept { return {midX(), minY()}; }
    /// (maxX, minY).
    CGPoint maxXminYPoint() const noexcept { return {maxX(), minY()}; }
    /// (maxX, maxY).
    CGPoint maxXmaxYPoint() const noexcept { return {maxX(), maxY()}; }
    /// (midX, maxY).
    CGPoint midXmaxYPoint() const noexcept { return {midX(), maxY()}; }
    /// (minX, maxY).
    CGPoint minXmaxYPoint() const noexcept { return {minX(), maxY()}; }
    /// (minX, midY).
    CGPoint minXmidYPoint() const noexcept { return {minX(), midY()}; }
    /// (maxX, midY).
    CGPoint maxXmidYPoint() const noexcept { return {maxX(), midY()}; }

    /// A rectangle of `size` about the same centre.
    CGRect centerResized(const CGSize& size) const noexcept;
    /// A rectangle of (width, height) about the same centre.
    CGRect centerResized(double width, double height) const noexcept;
    /// A rectangle of the new width and the absolute height about the same centre.
    CGRect centerResizedWithWidth(double width) const noexcept;
    /// A rectangle of the absolute width and the new height about the same centre.
    CGRect centerResizedWithHeight(double height) const noexcept;
    /// The rectangle shrunk by the four insets; nothing is clamped.
    CGRect inseted(double leading, double top, double trailing, double bottom) const noexcept;
    /// The rectangle moved by (moveX, moveY).
    CGRect moved(double moveX, double moveY) const noexcept;
    /// The rectangle moved by (byX, byY); the same as `moved`.
    CGRect offset(double byX, double byY) const noexcept { return moved(byX, byY); }
    /// The same origin and height with a new width.
    CGRect fromLeftWithWidth(double width) const noexcept;
    /// The same origin and height with a new width.
    CGRect withNewWidth(double width) const noexcept { return fromLeftWithWidth(width); }
    /// The same origin and width with a new height.
    CGRect fromTopWithHeight(double height) const noexcept;
    /// The same origin and width with a new height.
    CGRect withNewHeight(double height) const noexcept { return fromTopWithHeight(height); }
    /// A new width keeping the stored right edge.
    CGRect fromRightWithWidth(double width) const noexcept;
    /// A new height keeping the standardised bottom edge.
    CGRect fromBottomWithHeight(double height) const noexcept;
    /// The rectangle moved so its stored right edge is at `maxX`.
    CGRect withMaxX(double maxX) const noexcept;
    /// A new origin x, the stored width and the absolute height.
    CGRect withNewOriginX(double x) const noexcept;
    /// A new origin y, the stored width and the absolute height.
    CGRect withNewOriginY(double y) const noexcept;
    /// The size multiplied by `factor`; the origin stays.
    CGRect sizeScaled(double factor) const noexcept;
    /// Every component multiplied by `factor`.
    CGRect scaled(double factor) const noexcept;
    /// The rectangle's size at the origin.
    CGRect bounds() const noexcept { return {{0, 0}, size}; }
    /// Every component rounded up.
    CGRect ceiled() const noexcept;
    /// The origin rounded up; the size stays.
    CGRect originCeiled() const noexcept;
    /// Replaces this rectangle by its intersection with `other` (null when they do not meet).
    void intersect(const CGRect& other) noexcept;

    friend bool operator==(const CGRect&, const CGRect&) = default;
};

/// A segment between two points, stored in the order given.
struct CGLine {
    CGPoint point1;
    CGPoint point2;

    /// The segment (x1, y1)-(x2, y2).
    static CGLine make(double x1, double y1, double x2, double y2) noexcept {
        return {{x1, y1}, {x2, y2}};
    }

    /// The smaller x of the two points.
    double minX() const noexcept;
    /// The larger x of the two points.
    double maxX() const noexcept;
    /// The smaller y of the two points.
    double minY() const noexcept;
    /// The larger y of the two points.
    double maxY() const noexcept;
    /// The y of the infinite line at `x`; absent for a vertical line.
    std::optional<double> y(double x) const noexcept;
    /// The x of the infinite line at `y`; absent for a horizontal line.
    std::optional<double> x(double y) const noexcept;
    /// Whether the segments meet, end points included; parallel and collinear segments never do.
    bool intersects(const CGLine& other) const noexcept;

    friend bool operator==(const CGLine&, const CGLine&) = default;
};

} // namespace core
