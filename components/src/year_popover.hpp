#pragma once

#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QWidget>

#include <functional>

class QVBoxLayout;

namespace components::detail {

/// Which edge of a popover carries its arrow.
enum class PopoverArrow { top, bottom, none };

/// Where a popover stands and where its arrow points.
struct PopoverPlace {
    QPoint topLeft;     ///< Global.
    PopoverArrow arrow; ///< The edge facing the anchor; none when the popover covers it.
    int arrowX;         ///< The arrow's tip, in the popover's own coordinates.

    friend bool operator==(const PopoverPlace&, const PopoverPlace&) = default;
};

/// How high a popover's arrow is; its base is twice as wide, plus one pixel each side.
inline constexpr int kPopoverArrowHeight = 8;
/// The width of a popover's edge.
inline constexpr int kPopoverEdge = 1;

/// A popover of `size` beside `anchor` (global) with its arrow at `targetX` (global), on `screen`
/// (global): below the anchor when it fits, else above it, else over it as near as the screen
/// allows with no arrow. It is kept inside `screen` unless larger than it; the arrow stays clear
/// of the rounded corners.
PopoverPlace placePopover(const QRect& anchor, int targetX, QSize size, const QRect& screen);

/// The year popover: a rounded panel on a surface of its own, a step apart from the window it
/// opens over, with a one-pixel edge and an arrow on the edge facing its anchor. It calls
/// `onHide` once, when first hidden.
class YearPopover final : public QWidget {
public:
    /// An empty popover window over `parent`; deleted when closed.
    YearPopover(QWidget* parent, std::function<void()> onHide);

    /// Puts `content` inside the edge, clear of the arrow.
    void setContent(QWidget* content);
    /// Sizes the popover to its content and places it by `placePopover`.
    void placeBeside(const QRect& anchor, int targetX, const QRect& screen);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setArrow(PopoverArrow arrow, int arrowX);
    QRegion outline() const;

    std::function<void()> m_onHide;
    QVBoxLayout* m_layout = nullptr;
    PopoverArrow m_arrow = PopoverArrow::top;
    int m_arrowX = 0;
};

} // namespace components::detail
