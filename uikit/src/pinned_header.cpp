#include "uikit/pinned_header.hpp"

#include <QEvent>

namespace uikit {

PinnedHeader::PinnedHeader(int top, QWidget* coordinateSpace, const Builder& builder,
                           QWidget* parent)
    : QWidget(parent), m_top(top), m_coordinateSpace(coordinateSpace) {
    m_content = builder ? builder() : nullptr;
    if (m_content == nullptr) {
        m_content = new QWidget();
    }
    m_content->setParent(this);
    m_content->show();
    watchAncestors();
    reposition();
}

int PinnedHeader::minY() const {
    QWidget* space = m_coordinateSpace ? m_coordinateSpace.data() : window();
    if (space == this) {
        return 0;
    }
    // Global positions compare any two widgets of one screen, ancestors or not.
    return mapToGlobal(QPoint(0, 0)).y() - space->mapToGlobal(QPoint(0, 0)).y();
}

bool PinnedHeader::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange) {
        watchAncestors();
        reposition();
    }
    return QWidget::event(event);
}

bool PinnedHeader::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
        reposition();
        break;
    case QEvent::ParentChange:
        watchAncestors();
        reposition();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void PinnedHeader::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    reposition();
}

void PinnedHeader::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    reposition();
}

void PinnedHeader::watchAncestors() {
    for (const QPointer<QWidget>& widget : m_watched) {
        if (widget) {
            widget->removeEventFilter(this);
        }
    }
    m_watched.clear();
    // Scrolling moves the scrolled widget, an ancestor of this one; the space itself moving
    // changes nothing measured in it.
    for (QWidget* ancestor = parentWidget(); ancestor != nullptr && ancestor != m_coordinateSpace;
         ancestor = ancestor->parentWidget()) {
        ancestor->installEventFilter(this);
        m_watched.emplace_back(ancestor);
    }
}

void PinnedHeader::reposition() {
    if (m_content == nullptr) {
        return;
    }
    const int height = qMax(m_content->sizeHint().height(), m_content->minimumHeight());
    m_content->setGeometry(0, contentOffset(m_top, minY()), width(), height);
}

} // namespace uikit
