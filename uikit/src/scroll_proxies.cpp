#include "uikit/scroll_proxies.hpp"

#include <QApplication>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QTimer>

#include <cmath>

namespace uikit {

namespace {

constexpr int kSlideMilliseconds = 250;
constexpr const char* kSlideName = "uikit-scroll-slide";

// Moves a scroll bar to `value`, sliding when asked; a slide still running on the bar is
// replaced, so two requests never fight over it.
void moveBar(QScrollBar* bar, int value, bool animated) {
    if (bar == nullptr) {
        return;
    }
    for (auto* running : bar->findChildren<QPropertyAnimation*>(kSlideName)) {
        running->stop();
        running->deleteLater();
    }
    if (!animated || bar->value() == value) {
        bar->setValue(value);
        return;
    }
    auto* slide = new QPropertyAnimation(bar, "value", bar);
    slide->setObjectName(kSlideName);
    slide->setDuration(kSlideMilliseconds);
    slide->setEasingCurve(QEasingCurve::InOutQuad);
    slide->setStartValue(bar->value());
    slide->setEndValue(value);
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

int clampedToBar(const QScrollBar* bar, qreal value) {
    const qreal rounded = std::round(value);
    if (!std::isfinite(rounded)) {
        return bar->value();
    }
    return static_cast<int>(qBound<qreal>(bar->minimum(), rounded, bar->maximum()));
}

} // namespace

void ScrollViewProxy::scroll(QPoint offset, bool animated) const {
    QAbstractScrollArea* area = scrollView.data();
    if (area == nullptr) {
        return;
    }
    moveBar(area->horizontalScrollBar(), offset.x(), animated);
    moveBar(area->verticalScrollBar(), offset.y(), animated);
}

QRect ScrollViewProxy::visibleRect() const {
    const QAbstractScrollArea* area = scrollView.data();
    if (area == nullptr || !area->isVisible()) {
        return {};
    }
    return area->visibleRegion().boundingRect();
}

void ListProxy::scrollToBottom(bool animated) const {
    QAbstractItemView* view = tableView.data();
    if (view == nullptr) {
        return;
    }
    QScrollBar* bar = view->verticalScrollBar();
    moveBar(bar, bar->maximum(), animated);
}

void ListProxy::scrollRowToVisible(int row, bool animated) const {
    QAbstractItemView* view = tableView.data();
    if (view == nullptr || view->model() == nullptr) {
        return;
    }
    const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
    if (!index.isValid()) {
        return;
    }
    if (!animated || view->verticalScrollMode() != QAbstractItemView::ScrollPerPixel) {
        view->scrollTo(index);
        return;
    }
    QScrollBar* bar = view->verticalScrollBar();
    const int offset = bar->value();
    const QRectF rowRect = QRectF(view->visualRect(index)).translated(0, offset);
    const QRectF visible(0, offset, view->viewport()->width(), view->viewport()->height());
    if (const auto target = rowScrollTarget(rowRect, visible)) {
        moveBar(bar, clampedToBar(bar, *target), true);
    }
}

ListProxy::TapLocation ListProxy::location(QPointF pointInWindow) const {
    const QAbstractItemView* view = tableView.data();
    if (view == nullptr) {
        return {};
    }
    const QWidget* viewport = view->viewport();
    const QPointF point = viewport->mapFrom(viewport->window(), pointInWindow);
    if (!QRectF(viewport->rect()).contains(point)) {
        return {};
    }
    TapLocation location{TapLocation::Kind::inside, std::nullopt, point};
    const QModelIndex index = view->indexAt(point.toPoint());
    if (index.isValid() && index.row() >= 0) {
        location.row = index.row();
    }
    return location;
}

std::optional<qreal> rowScrollTarget(const QRectF& row, const QRectF& visible) {
    if (!(visible.width() > 0) || !(visible.height() > 0)) {
        return std::nullopt;
    }
    const qreal current = visible.y();
    qreal y = current;
    if (row.height() >= visible.height()) {
        if (row.top() > visible.bottom()) {
            y = row.top();
        } else if (visible.top() > row.bottom()) {
            y = row.bottom() - visible.height();
        }
    } else {
        if (row.bottom() > visible.bottom()) {
            y = row.bottom() - visible.height();
        } else if (visible.top() > row.top()) {
            y = row.top();
        }
    }
    if (y == current) {
        return std::nullopt;
    }
    return y;
}

QAbstractScrollArea* findEnclosingScrollArea(QWidget* widget) {
    for (QWidget* at = widget; at != nullptr; at = at->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(at)) {
            return area;
        }
    }
    return nullptr;
}

QAbstractItemView* findItemView(QWidget* widget) {
    for (QWidget* at = widget; at != nullptr; at = at->parentWidget()) {
        if (auto* view = qobject_cast<QAbstractItemView*>(at)) {
            return view;
        }
    }
    return widget == nullptr ? nullptr : widget->findChild<QAbstractItemView*>();
}

void scrollViewProxy(QWidget& view, std::function<void(ScrollViewProxy)> perform) {
    QTimer::singleShot(0, qApp, [guard = QPointer<QWidget>(&view), perform = std::move(perform)] {
        if (QAbstractScrollArea* area = findEnclosingScrollArea(guard.data())) {
            perform(ScrollViewProxy{area});
        }
    });
}

void listProxy(QWidget& view, std::function<void(ListProxy)> perform) {
    QTimer::singleShot(0, qApp, [guard = QPointer<QWidget>(&view), perform = std::move(perform)] {
        if (QAbstractItemView* list = findItemView(guard.data())) {
            perform(ListProxy{list});
        }
    });
}

} // namespace uikit
