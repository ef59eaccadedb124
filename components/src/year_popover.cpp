#include "year_popover.hpp"

#include "uikit/color.hpp"
#include "uikit/vt_rounded_rectangle.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace components::detail {
namespace {

constexpr qreal kRadius = 3;

// The surface stands a step apart from the window it opens over: darker on a light window,
// lighter on a dark one (a blend, so even pure black or white moves).
QColor surfaceColor(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    const bool dark = uikit::Color::isDarkAppearance(palette);
    const float toward = dark ? 1.0F : 0.0F;
    const float share = dark ? 0.1F : 0.06F;
    const auto blend = [&](float channel) { return channel + (toward - channel) * share; };
    return QColor::fromRgbF(blend(window.redF()), blend(window.greenF()), blend(window.blueF()));
}

// A one-pixel-wide rim of `region`: what is left after taking away every pixel that has a
// neighbour outside it.
QRegion rimOf(const QRegion& region) {
    const QRegion inner = region & region.translated(1, 0) & region.translated(-1, 0) &
                          region.translated(0, 1) & region.translated(0, -1);
    return region - inner;
}

} // namespace

PopoverPlace placePopover(const QRect& anchor, int targetX, QSize size, const QRect& screen) {
    const int x = std::clamp(targetX - size.width() / 2, screen.left(),
                             std::max(screen.left(), screen.right() + 1 - size.width()));
    int y = anchor.bottom() + 1;
    PopoverArrow arrow = PopoverArrow::top;
    if (y + size.height() > screen.bottom() + 1) {
        if (anchor.top() - size.height() >= screen.top()) {
            y = anchor.top() - size.height();
            arrow = PopoverArrow::bottom;
        } else {
            y = std::clamp(y, screen.top(),
                           std::max(screen.top(), screen.bottom() + 1 - size.height()));
            arrow = PopoverArrow::none;
        }
    }
    // The arrow's base stays on the straight part of its edge.
    const int reach = kPopoverArrowHeight + 1 + static_cast<int>(kRadius) + kPopoverEdge;
    const int arrowX = std::clamp(targetX - x, reach, std::max(reach, size.width() - reach));
    return {QPoint(x, y), arrow, arrowX};
}

YearPopover::YearPopover(QWidget* parent, std::function<void()> onHide)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), m_onHide(std::move(onHide)) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_layout = new QVBoxLayout(this);
    m_layout->setSpacing(0);
    setArrow(PopoverArrow::top, 0);
}

void YearPopover::setContent(QWidget* content) {
    m_layout->addWidget(content);
}

void YearPopover::placeBeside(const QRect& anchor, int targetX, const QRect& screen) {
    adjustSize();
    const PopoverPlace place = placePopover(anchor, targetX, size(), screen);
    setArrow(place.arrow, place.arrowX);
    move(place.topLeft);
}

void YearPopover::paintEvent(QPaintEvent* /*event*/) {
    const QRegion shape = outline();
    const QRegion rim = rimOf(shape);
    QPainter painter(this);
    painter.setClipRegion(shape - rim);
    painter.fillRect(rect(), surfaceColor(palette()));
    painter.setClipRegion(rim);
    painter.fillRect(rect(), uikit::Color::gray2(palette()));
}

void YearPopover::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    setMask(outline());
}

void YearPopover::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (m_onHide) {
        std::exchange(m_onHide, nullptr)();
    }
}

// The room for the arrow is kept on whichever edge carries it; without an arrow the content's
// own stretch takes that room, so the height never changes.
void YearPopover::setArrow(PopoverArrow arrow, int arrowX) {
    m_arrow = arrow;
    m_arrowX = arrowX;
    const int top = kPopoverEdge + (arrow == PopoverArrow::top ? kPopoverArrowHeight : 0);
    const int bottom = kPopoverEdge + (arrow == PopoverArrow::bottom ? kPopoverArrowHeight : 0);
    m_layout->setContentsMargins(kPopoverEdge, top, kPopoverEdge, bottom);
    setMask(outline());
    update();
}

// The panel and its arrow in whole pixels: the mask, the surface and the edge all follow it, so
// the edge runs exactly along the mask's border and needs no smoothing. The arrow's sides run at
// 45 degrees, which whole pixels draw as even steps.
QRegion YearPopover::outline() const {
    QRectF body(rect());
    if (m_arrow == PopoverArrow::top) {
        body.setTop(kPopoverArrowHeight);
    } else if (m_arrow == PopoverArrow::bottom) {
        body.setBottom(height() - kPopoverArrowHeight);
    }
    QPainterPath path = uikit::VtRoundedRectangle(kRadius, kRadius, kRadius, kRadius)
                            .path(body.size())
                            .translated(body.topLeft());
    if (m_arrow != PopoverArrow::none) {
        // The base reaches one pixel into the panel, so the two shapes join without a seam.
        const qreal base = m_arrow == PopoverArrow::top ? body.top() + 1 : body.bottom() - 1;
        const qreal tip = m_arrow == PopoverArrow::top ? 0 : height();
        QPainterPath arrow;
        arrow.moveTo(m_arrowX - kPopoverArrowHeight - 1, base);
        arrow.lineTo(m_arrowX, tip);
        arrow.lineTo(m_arrowX + kPopoverArrowHeight + 1, base);
        arrow.closeSubpath();
        path = path.united(arrow);
    }
    return {path.toFillPolygon().toPolygon(), Qt::WindingFill};
}

} // namespace components::detail
