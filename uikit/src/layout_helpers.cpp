#include "uikit/layout_helpers.hpp"

#include <QEvent>

#include <algorithm>

namespace uikit {

namespace {

// Watches a widget and its ancestors, reporting the widget's frame in a chosen space on change.
class FrameReader final : public QObject {
public:
    FrameReader(QWidget& widget, QWidget* space, std::function<void(QRectF)> onChange)
        : QObject(&widget), m_widget(&widget), m_space(space), m_onChange(std::move(onChange)) {
        hook();
        report();
    }

    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        switch (event->type()) {
        case QEvent::ParentChange:
            hook();
            report();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
            report();
            break;
        default:
            break;
        }
        return false;
    }

private:
    // The widget and every ancestor below its window (a window's own move changes nothing in
    // window coordinates; with an explicit space, the space's moves matter too).
    void hook() {
        for (const auto& watched : m_watched) {
            if (watched) {
                watched->removeEventFilter(this);
            }
        }
        m_watched.clear();
        for (QWidget* at = m_widget; at != nullptr; at = at->parentWidget()) {
            at->installEventFilter(this);
            m_watched.emplace_back(at);
            if (at->isWindow()) {
                break;
            }
        }
        if (m_space && std::find(m_watched.begin(), m_watched.end(), m_space) == m_watched.end()) {
            m_space.data()->installEventFilter(this);
            m_watched.emplace_back(m_space.data());
        }
    }

    QRectF frame(const QWidget& widget) const {
        const QWidget* space = m_space.data();
        const QPointF origin =
            space != nullptr
                ? QPointF(widget.mapToGlobal(QPoint(0, 0)) - space->mapToGlobal(QPoint(0, 0)))
                : QPointF(widget.mapTo(widget.window(), QPoint(0, 0)));
        return {origin, QSizeF(widget.size())};
    }

    void report() {
        const QWidget* widget = m_widget.data();
        if (widget == nullptr) {
            return;
        }
        const QRectF now = frame(*widget);
        if (m_last && *m_last == now) {
            return;
        }
        m_last = now;
        m_onChange(now);
    }

    QPointer<QWidget> m_widget;
    QPointer<QWidget> m_space;
    std::function<void(QRectF)> m_onChange;
    std::vector<QPointer<QWidget>> m_watched;
    std::optional<QRectF> m_last;
};

class SizeReader final : public QObject {
public:
    SizeReader(QWidget& widget, std::function<void(QSizeF)> onChange)
        : QObject(&widget), m_onChange(std::move(onChange)) {
        widget.installEventFilter(this);
        report(widget.size());
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
            report(static_cast<QWidget*>(watched)->size());
        }
        return false;
    }

private:
    void report(QSizeF size) {
        if (m_last && *m_last == size) {
            return;
        }
        m_last = size;
        m_onChange(size);
    }

    std::function<void(QSizeF)> m_onChange;
    std::optional<QSizeF> m_last;
};

} // namespace

EqualWidthGroup::EqualWidthGroup(QObject* parent) : QObject(parent) {}

void EqualWidthGroup::add(QWidget& widget) {
    m_members.emplace_back(&widget);
    widget.installEventFilter(this);
    // A child's natural width changes are announced to its parent as a layout request.
    if (QWidget* parent = widget.parentWidget()) {
        parent->installEventFilter(this);
    }
    measure(widget);
}

void EqualWidthGroup::measure() {
    for (const auto& member : m_members) {
        if (QWidget* widget = member.data()) {
            measure(*widget);
        }
    }
}

bool EqualWidthGroup::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::LayoutRequest:
        for (const auto& member : m_members) {
            QWidget* widget = member.data();
            if (widget != nullptr && (widget == watched || widget->parentWidget() == watched)) {
                measure(*widget);
            }
        }
        break;
    case QEvent::Show:
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::ParentChange:
        if (auto* widget = qobject_cast<QWidget*>(watched)) {
            if (event->type() == QEvent::ParentChange && widget->parentWidget() != nullptr) {
                widget->parentWidget()->installEventFilter(this);
            }
            if (std::find(m_members.begin(), m_members.end(), widget) != m_members.end()) {
                measure(*widget);
            }
        }
        break;
    default:
        break;
    }
    return false;
}

void EqualWidthGroup::measure(QWidget& widget) {
    const int natural = widget.sizeHint().width();
    if (natural < 0 || (m_width && natural <= *m_width)) {
        if (m_width && widget.minimumWidth() < *m_width) {
            widget.setMinimumWidth(*m_width);
        }
        return;
    }
    m_width = natural;
    apply();
}

void EqualWidthGroup::apply() {
    for (const auto& member : m_members) {
        QWidget* widget = member.data();
        if (widget != nullptr && widget->minimumWidth() < *m_width) {
            widget->setMinimumWidth(*m_width);
        }
    }
}

QWidget& sameWidth(QWidget& widget, EqualWidthGroup& group) {
    group.add(widget);
    return widget;
}

QObject* readFrame(QWidget& widget, QWidget* space, std::function<void(QRectF)> onChange) {
    return new FrameReader(widget, space, std::move(onChange));
}

QObject* readSize(QWidget& widget, std::function<void(QSizeF)> onChange) {
    return new SizeReader(widget, std::move(onChange));
}

} // namespace uikit
