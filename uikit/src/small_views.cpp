#include "uikit/small_views.hpp"

#include "uikit/layout_helpers.hpp"

#include <QEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace uikit {

namespace {

QVBoxLayout* bareLayout(QWidget& owner) {
    auto* layout = new QVBoxLayout(&owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

} // namespace

VtPressSensitiveButton::VtPressSensitiveButton(std::function<void()> action, Label label,
                                               QWidget* parent)
    : QAbstractButton(parent), m_label(std::move(label)) {
    bareLayout(*this);
    if (action) {
        connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
    }
    rebuild(false);
}

QSize VtPressSensitiveButton::sizeHint() const {
    return layout()->sizeHint();
}

bool VtPressSensitiveButton::event(QEvent* event) {
    const bool handled = QAbstractButton::event(event);
    // Every way the pressed state changes (press, release, dragging out and back, setDown)
    // passes through an event; the face follows the state, not the events.
    if (isDown() != m_builtPressed) {
        rebuild(isDown());
    }
    return handled;
}

void VtPressSensitiveButton::paintEvent(QPaintEvent* /*event*/) {}

void VtPressSensitiveButton::rebuild(bool isPressed) {
    m_builtPressed = isPressed;
    if (QWidget* previous = m_face.data()) {
        // The old face may be the very receiver of the event that changed the state; it goes
        // once that event is over.
        previous->hide();
        layout()->removeWidget(previous);
        previous->deleteLater();
    }
    m_face = m_label ? m_label(isPressed) : nullptr;
    if (m_face) {
        m_face->setAttribute(Qt::WA_TransparentForMouseEvents, true);
        layout()->addWidget(m_face);
    }
    updateGeometry();
}

StretchyHeaderGeometry stretchyHeaderGeometry(qreal minY, qreal height) {
    StretchyHeaderGeometry geometry;
    if (minY > 0) {
        geometry.offsetY = -minY;
        geometry.drawHeight = height + minY;
    } else {
        geometry.drawHeight = height;
    }
    if (minY < 0 && height > 0) {
        geometry.opacity = std::max<qreal>(0, 1 + minY / height);
    }
    return geometry;
}

VtStretchyImageHeaderView::VtStretchyImageHeaderView(QPixmap image, qreal height,
                                                     std::function<void(qreal)> yOffsetDidChanged,
                                                     QWidget* parent)
    : QWidget(parent), m_image(std::move(image)),
      // No widget is taller than Qt's limit, and a NaN or negative height is no height at all.
      m_height(std::isnan(height) ? 0 : std::clamp<qreal>(height, 0, QWIDGETSIZE_MAX)),
      m_yOffsetDidChanged(std::move(yOffsetDidChanged)) {
    setFixedHeight(static_cast<int>(m_height));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Qt sends moves and resizes only on change; an ancestor's move changes where the header
    // stands without an event of its own, so the header's frame in its window is watched.
    readFrame(*this, nullptr, [this](QRectF) { measure(); });
}

void VtStretchyImageHeaderView::measure() {
    m_minY = mapTo(window(), QPoint(0, 0)).y();
    if (m_yOffsetDidChanged) {
        m_yOffsetDidChanged(m_minY);
    }
    update();
}

void VtStretchyImageHeaderView::paintEvent(QPaintEvent* /*event*/) {
    if (m_image.isNull()) {
        return;
    }
    const StretchyHeaderGeometry geometry = stretchyHeaderGeometry(m_minY, m_height);
    if (geometry.opacity <= 0) {
        return;
    }
    const QRectF frame(0, geometry.offsetY, width(), geometry.drawHeight);
    QPainter painter(this);
    painter.setClipRect(frame);
    painter.setOpacity(geometry.opacity);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRectF target = placeImage(m_image.deviceIndependentSize(), frame, ScaleKind::fill);
    painter.drawPixmap(target, m_image, QRectF(m_image.rect()));
}

VtLazyView::VtLazyView(Builder build, QWidget* parent)
    : QWidget(parent), m_build(std::move(build)) {
    bareLayout(*this);
}

void VtLazyView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_built) {
        return;
    }
    m_built = true;
    m_content = m_build ? m_build() : nullptr;
    if (m_content) {
        layout()->addWidget(m_content);
    }
}

} // namespace uikit
