#pragma once

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QRectF>

#include <functional>
#include <optional>

namespace uikit {

/// Scrolls a scroll area from outside without keeping it alive: once the area is gone every
/// operation does nothing.
struct ScrollViewProxy {
    QPointer<QAbstractScrollArea> scrollView;

    /// Makes `offset` (content coordinates) the top-left corner of the visible content, sliding
    /// there when `animated`.
    void scroll(QPoint offset, bool animated) const;
    /// The part of the scroll area that is visible on screen, in its own coordinates; empty when
    /// the area is gone or hidden.
    QRect visibleRect() const;
};

/// Scrolls and hit-tests an item view (list or table) from outside without keeping it alive.
struct ListProxy {
    /// Where a point falls: inside the view's visible rows area, on a row or below the last one,
    /// or outside it.
    struct TapLocation {
        enum class Kind { inside, outside };
        Kind kind = Kind::outside;
        std::optional<int> row; ///< The row under the point; absent below the last row.
        QPointF point;          ///< The point in the view's viewport coordinates.
    };

    QPointer<QAbstractItemView> tableView;

    /// Scrolls to the end of the content, keeping the horizontal position.
    void scrollToBottom(bool animated) const;
    /// Brings `row` into view: at once as the view itself scrolls, or sliding by the least
    /// distance that shows it (per-pixel scrolling only; per-item views jump).
    void scrollRowToVisible(int row, bool animated) const;
    /// Where `pointInWindow` (in the view's window coordinates) falls.
    TapLocation location(QPointF pointInWindow) const;
};

/// The content offset that brings `row` into `visible` (both in content coordinates) by the
/// least vertical move: a row taller than the view shows its top edge when below and its bottom
/// edge when above; absent when no move is needed or the visible area is empty.
std::optional<qreal> rowScrollTarget(const QRectF& row, const QRectF& visible);

/// `widget` itself or its nearest ancestor that is a scroll area; null when there is none.
QAbstractScrollArea* findEnclosingScrollArea(QWidget* widget);

/// `widget` itself or its nearest ancestor that is an item view, else its first descendant item
/// view; null when there is none.
QAbstractItemView* findItemView(QWidget* widget);

/// Calls `perform` later from the event loop (once `view` is placed) with a proxy of the scroll
/// area enclosing `view`; nothing is called when there is none or `view` is gone.
void scrollViewProxy(QWidget& view, std::function<void(ScrollViewProxy)> perform);

/// Calls `perform` later with a proxy of `findItemView(view)`; nothing when there is none.
void listProxy(QWidget& view, std::function<void(ListProxy)> perform);

} // namespace uikit
