#include "uikit/vt_rounded_rectangle.hpp"

#include <QEvent>
#include <QObject>
#include <QPainter>
#include <QRegion>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace uikit {

namespace {

// A negative or non-finite radius would draw an arc the wrong way round; it counts as square.
qreal clampedRadius(qreal radius, qreal width, qreal height) {
    if (!(radius > 0) || !std::isfinite(radius)) {
        return 0;
    }
    return std::min(width / 2, std::min(height / 2, radius));
}

// Keeps the widget's mask equal to the outline of its current size.
class CornerMask final : public QObject {
public:
    CornerMask(QWidget& widget, VtRoundedRectangle shape) : QObject(&widget), m_shape(shape) {
        widget.installEventFilter(this);
        apply(widget);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && watched == parent()) {
            apply(*static_cast<QWidget*>(watched));
        }
        return false;
    }

private:
    void apply(QWidget& widget) const {
        const QPainterPath outline = m_shape.path(QSizeF(widget.size()));
        if (outline.isEmpty()) {
            widget.clearMask();
            return;
        }
        widget.setMask(QRegion(outline.toFillPolygon().toPolygon(), Qt::WindingFill));
    }

    VtRoundedRectangle m_shape;
};

} // namespace

QPainterPath VtRoundedRectangle::path(const QSizeF& size) const {
    const qreal w = size.width();
    const qreal h = size.height();
    QPainterPath outline;
    outline.setFillRule(Qt::WindingFill);
    if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h)) {
        return outline;
    }
    const qreal topLeft = clampedRadius(tl, w, h);
    const qreal topRight = clampedRadius(tr, w, h);
    const qreal bottomLeft = clampedRadius(bl, w, h);
    const qreal bottomRight = clampedRadius(br, w, h);

    // Qt's angles run counter-clockwise on screen with y pointing down, so each corner is a
    // quarter turn with a sweep of -90 degrees, starting where the previous edge ends.
    outline.moveTo(w / 2, 0);
    outline.lineTo(w - topRight, 0);
    outline.arcTo(QRectF(w - 2 * topRight, 0, 2 * topRight, 2 * topRight), 90, -90);
    outline.lineTo(w, h - bottomRight);
    outline.arcTo(
        QRectF(w - 2 * bottomRight, h - 2 * bottomRight, 2 * bottomRight, 2 * bottomRight), 0, -90);
    outline.lineTo(bottomLeft, h);
    outline.arcTo(QRectF(0, h - 2 * bottomLeft, 2 * bottomLeft, 2 * bottomLeft), 270, -90);
    outline.lineTo(0, topLeft);
    outline.arcTo(QRectF(0, 0, 2 * topLeft, 2 * topLeft), 180, -90);
    // A stroke of the shape draws the whole top edge, not only the part up to the last arc.
    outline.closeSubpath();
    return outline;
}

void VtRoundedRectangle::clip(QPainter& painter, const QRectF& rect) const {
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipPath(path(rect.size()).translated(rect.topLeft()), Qt::IntersectClip);
}

void vtCornerRadius(QWidget& widget, qreal topLeft, qreal topRight, qreal bottomLeft,
                    qreal bottomRight) {
    // One mask keeper per widget: a later call replaces the earlier shape.
    const QObjectList children = widget.children();
    for (QObject* child : children) {
        if (auto* keeper = dynamic_cast<CornerMask*>(child)) {
            widget.removeEventFilter(keeper);
            delete keeper;
        }
    }
    new CornerMask(widget, VtRoundedRectangle(topLeft, topRight, bottomLeft, bottomRight));
}

} // namespace uikit
