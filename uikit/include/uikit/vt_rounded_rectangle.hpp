#pragma once

#include <QPainterPath>
#include <QRectF>
#include <QSizeF>

class QPainter;
class QWidget;

namespace uikit {

/// A rectangle outline whose four corners each have their own radius, in device-independent
/// pixels; a radius is cut to half the width and half the height, and 0 gives a square corner.
struct VtRoundedRectangle {
    qreal tl = 0; ///< Top-left radius.
    qreal tr = 0; ///< Top-right radius.
    qreal bl = 0; ///< Bottom-left radius.
    qreal br = 0; ///< Bottom-right radius.

    /// The shape with the given radii, stored unchanged.
    VtRoundedRectangle(qreal topLeft, qreal topRight, qreal bottomLeft, qreal bottomRight)
        : tl(topLeft), tr(topRight), bl(bottomLeft), br(bottomRight) {}

    /// The closed outline from (0, 0) to the rectangle's size, with the non-zero fill rule; the
    /// rectangle's own origin is not applied. Empty for a size that is not finite and positive.
    QPainterPath path(const QRectF& rect) const { return path(rect.size()); }

    /// The closed outline of a rectangle of `size` with its top-left corner at (0, 0).
    QPainterPath path(const QSizeF& size) const;

    /// Intersects the painter's clip with the outline of `rect` moved to the rectangle's origin.
    void clip(QPainter& painter, const QRectF& rect) const;
};

/// Clips `widget` (and its children) to the outline of its own size from now on, following every
/// resize; the widget's mask is replaced and the clip edge is not antialiased.
void vtCornerRadius(QWidget& widget, qreal topLeft, qreal topRight, qreal bottomLeft,
                    qreal bottomRight);

} // namespace uikit
