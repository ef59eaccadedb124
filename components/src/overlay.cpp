#include "overlay.hpp"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QVBoxLayout>

namespace components::detail {

OverlayTransition::OverlayTransition(QWidget& overlay)
    : m_overlay(overlay), m_opacity(new QGraphicsOpacityEffect(&overlay)) {
    m_opacity->setOpacity(1.0);
    overlay.setGraphicsEffect(m_opacity); // the overlay owns the effect from here on
    overlay.hide();
}

OverlayTransition::~OverlayTransition() {
    if (m_group) {
        m_group->stop();
        delete m_group;
    }
}

void OverlayTransition::animate(QPoint from, QPoint to, qreal fromOpacity, qreal toOpacity) {
    if (m_group) {
        m_group->stop();
        delete m_group;
    }
    auto* group = new QParallelAnimationGroup(&m_overlay);
    auto* move = new QPropertyAnimation(&m_overlay, "pos", group);
    move->setStartValue(from);
    move->setEndValue(to);
    move->setDuration(kTransitionMilliseconds);
    move->setEasingCurve(QEasingCurve::InOutQuad);
    auto* fade = new QPropertyAnimation(m_opacity, "opacity", group);
    fade->setStartValue(fromOpacity);
    fade->setEndValue(toOpacity);
    fade->setDuration(kTransitionMilliseconds);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    m_group = group;
    group->start();
}

void OverlayTransition::enter(const QRect& place, QPoint hiddenOffset) {
    const bool wasShown = !m_overlay.isHidden() && m_in;
    m_in = true;
    if (wasShown) {
        // A new value over one already shown: no second entrance, just the new place.
        this->place(place);
        return;
    }
    m_overlay.setGeometry(place);
    m_overlay.show();
    m_overlay.raise();
    animate(place.topLeft() + hiddenOffset, place.topLeft(), 0.0, 1.0);
}

void OverlayTransition::leave(QPoint hiddenOffset) {
    if (!m_in) {
        return;
    }
    m_in = false;
    if (!m_overlay.isVisible()) {
        // Off screen (its host not shown): nothing to watch, so it goes at once.
        m_overlay.hide();
        return;
    }
    const QPoint here = m_overlay.pos();
    animate(here, here + hiddenOffset, m_opacity->opacity(), 0.0);
    QObject::connect(m_group.data(), &QAbstractAnimation::finished, &m_overlay, [this] {
        if (!m_in) {
            m_overlay.hide();
        }
    });
}

void OverlayTransition::place(const QRect& place) {
    if (!m_in) {
        return;
    }
    if (m_group) {
        m_group->stop();
        delete m_group;
    }
    m_opacity->setOpacity(1.0);
    m_overlay.setGeometry(place);
    m_overlay.raise();
}

void holdContent(QWidget& host, QWidget* content) {
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (content != nullptr) {
        layout->addWidget(content);
    }
}

TapSurface::TapSurface(QWidget* parent, std::function<void()> tapped)
    : QWidget(parent), m_tapped(std::move(tapped)) {
    setCursor(Qt::PointingHandCursor);
}

void TapSurface::fillRounded(qreal radius, const QColor& color) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), radius, radius);
    painter.fillPath(path, color);
}

void TapSurface::mousePressEvent(QMouseEvent* event) {
    event->setAccepted(tapArea().contains(event->position().toPoint()));
}

void TapSurface::mouseReleaseEvent(QMouseEvent* event) {
    if (tapArea().contains(event->position().toPoint())) {
        m_tapped();
    }
}

} // namespace components::detail
