#include "uikit/mouse_down.hpp"

#include <QMouseEvent>
#include <QWidget>

#include <stdexcept>

namespace uikit {
namespace {

QWidget* requireWidget(QWidget* widget) {
    if (widget == nullptr) {
        throw std::invalid_argument("A mouse-down filter needs a widget, not null");
    }
    return widget;
}

} // namespace

MouseDownFilter::MouseDownFilter(QWidget* widget, Action action, bool disabled)
    : QObject(requireWidget(widget)), m_widget(widget), m_action(std::move(action)),
      m_disabled(disabled) {
    m_widget->installEventFilter(this);
}

bool MouseDownFilter::eventFilter(QObject* watched, QEvent* event) {
    const bool press =
        event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (press && watched == m_widget && !m_disabled && m_action) {
        const auto* mouse = static_cast<const QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            m_action(mouse->position());
        }
    }
    // Never consumed: the widget still handles its own press.
    return false;
}

MouseDownFilter* onMouseDown(QWidget* widget, bool disabled, MouseDownFilter::Action perform) {
    return new MouseDownFilter(widget, std::move(perform), disabled);
}

} // namespace uikit
