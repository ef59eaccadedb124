#include "uikit/divider.hpp"

#include "uikit/color.hpp"

#include <QPainter>

#include <utility>

namespace uikit {

Divider::Divider(Qt::Orientation orientation, Background background, QWidget* parent)
    : QWidget(parent), m_orientation(orientation), m_background(std::move(background)) {
    if (orientation == Qt::Horizontal) {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    } else {
        setFixedWidth(1);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    }
}

void Divider::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (m_background) {
        painter.fillRect(rect(), m_background(palette()));
    }
    // Laid over the background, or over what lies behind: a translucent separator blends.
    painter.fillRect(rect(), Color::separator(palette()));
}

} // namespace uikit
