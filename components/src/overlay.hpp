#pragma once

#include "core/rx.hpp"
#include "state_binding.hpp"

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>
#include <utility>

class QGraphicsOpacityEffect;
class QMouseEvent;
class QParallelAnimationGroup;

namespace components::detail {

/// How long an overlay takes to come in or go out, in milliseconds.
inline constexpr int kTransitionMilliseconds = 350;

/// Moves an overlay in and out: it slides from `hiddenOffset` away from its place while fading in,
/// and back while fading out, then hides. The overlay owns the opacity effect this sets on it, so
/// the overlay must carry no other graphics effect.
class OverlayTransition {
public:
    /// Drives `overlay`, which starts hidden.
    explicit OverlayTransition(QWidget& overlay);
    OverlayTransition(const OverlayTransition&) = delete;
    OverlayTransition& operator=(const OverlayTransition&) = delete;
    ~OverlayTransition();

    /// Shows the overlay at `place`, coming from `place` moved by `hiddenOffset`; a running exit
    /// stops first, so its end cannot hide the new content.
    void enter(const QRect& place, QPoint hiddenOffset);
    /// Slides the overlay out by `hiddenOffset` and hides it; nothing when already hidden.
    void leave(QPoint hiddenOffset);
    /// Puts a shown overlay straight at `place` (a resize of its host), ending any entrance.
    void place(const QRect& place);
    /// True while the overlay is shown and not going out.
    bool isIn() const noexcept { return m_in; }

private:
    void animate(QPoint from, QPoint to, qreal fromOpacity, qreal toOpacity);

    QWidget& m_overlay;
    QGraphicsOpacityEffect* m_opacity;
    QPointer<QParallelAnimationGroup> m_group;
    bool m_in = false;
};

/// The content widget of an overlay host, filling it through a zero-margin layout.
void holdContent(QWidget& host, QWidget* content);

/// The face of an overlay: a press and a release inside `tapArea()` make one tap, which calls
/// `tapped`; the pointer shows a pointing hand over it.
class TapSurface : public QWidget {
public:
    /// A surface in `parent` that calls `tapped` on each tap.
    TapSurface(QWidget* parent, std::function<void()> tapped);

protected:
    /// Where presses count: the whole widget unless the face is smaller than it.
    virtual QRect tapArea() const { return rect(); }
    /// Fills the widget's rectangle, its corners rounded by `radius`, with `color`.
    void fillRounded(qreal radius, const QColor& color);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::function<void()> m_tapped;
};

/// What every overlay host keeps: the controller that times and clears the shown value, the
/// overlay widget (a child of the host) showing it, the transition moving that widget, and the
/// subscription to the host's state.
template <class Controller, class View>
struct OverlayParts {
    /// Parts for `host` over `state`; `View` is made as `View(&host, controller)`.
    template <class T>
    OverlayParts(QWidget& host, const core::rx::RxState<T>& state)
        : controller(bindingOver(state)), view(new View(&host, controller)), transition(*view) {}

    /// Passes every later value of `state` to the controller, then to `present`.
    template <class T, class Present>
    void follow(const core::rx::RxState<T>& state, Present present) {
        subscription = state.sink(false, [this, present = std::move(present)](const T& value) {
            controller.changed(value);
            present(value);
        });
    }

    Controller controller;
    View* view;
    OverlayTransition transition;
    core::rx::Cancellable subscription;
};

} // namespace components::detail
