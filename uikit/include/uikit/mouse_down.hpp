#pragma once

#include <QObject>
#include <QPointF>

#include <functional>

class QWidget;

namespace uikit {

/// Reports every press of the primary (left) mouse button on one widget, double-click presses
/// included, then lets the widget handle the event as usual. The point is in the widget's own
/// coordinates, whose origin is its top-left corner (y grows downwards), so a press at the
/// bottom-left corner of a 100 by 50 widget reports about (0, 49). Presses that a child widget
/// takes are not seen. The filter is a child of the widget and goes with it.
class MouseDownFilter final : public QObject {
public:
    /// What a press calls, with the press position.
    using Action = std::function<void(const QPointF& position)>;

    /// Watches `widget` (not null, else `std::invalid_argument`), calling `action` unless disabled.
    MouseDownFilter(QWidget* widget, Action action, bool disabled = false);

    /// Whether presses are ignored.
    bool isDisabled() const noexcept { return m_disabled; }
    /// Ignores presses while `disabled`; reports them again once it is false.
    void setDisabled(bool disabled) noexcept { m_disabled = disabled; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_widget;
    Action m_action;
    bool m_disabled;
};

/// Calls `perform` with the position of every primary-button press on `widget` while not
/// `disabled`; returns the filter, owned by the widget, to switch it later.
MouseDownFilter* onMouseDown(QWidget* widget, bool disabled, MouseDownFilter::Action perform);

} // namespace uikit
