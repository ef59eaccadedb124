#pragma once

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QGraphicsOpacityEffect;
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

} // namespace components::detail
