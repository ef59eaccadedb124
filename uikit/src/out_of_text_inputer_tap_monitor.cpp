#include "uikit/out_of_text_inputer_tap_monitor.hpp"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

namespace uikit {

namespace {

bool isTextInputer(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QTextEdit*>(widget) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(widget) != nullptr;
}

// The top-level widget a press arrived at, whether it came to a widget or to its native window.
QWidget* windowOf(QObject* receiver, const QWidget& candidate) {
    if (auto* widget = qobject_cast<QWidget*>(receiver)) {
        return widget->window();
    }
    if (auto* window = qobject_cast<QWindow*>(receiver)) {
        QWidget* top = candidate.window();
        return top->windowHandle() == window ? top : nullptr;
    }
    return nullptr;
}

} // namespace

OutOfTextInputerTapMonitor::OutOfTextInputerTapMonitor(QWidget& view, std::function<void()> action)
    : QObject(&view), m_view(&view), m_action(std::move(action)) {
    qApp->installEventFilter(this);
}

OutOfTextInputerTapMonitor::~OutOfTextInputerTapMonitor() {
    if (qApp != nullptr) {
        qApp->removeEventFilter(this);
    }
}

bool OutOfTextInputerTapMonitor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && m_view) {
        // Qt hands the focus to a clicked widget before the press reaches any filter: remember
        // the text field that the press took the focus from, for that press only.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason &&
            isTextInputer(widget)) {
            m_fieldLosingFocus = widget;
            QTimer::singleShot(0, this, [this] { m_fieldLosingFocus = nullptr; });
        }
        return false;
    }
    if (event->type() != QEvent::MouseButtonPress || !m_view) {
        return false;
    }
    const auto* press = static_cast<QMouseEvent*>(event);
    if (press->button() != Qt::LeftButton) {
        return false;
    }
    const QPointF global = press->globalPosition();
    if (m_seenAny && press->timestamp() == m_lastTimestamp && global == m_lastPosition) {
        return false;
    }
    m_seenAny = true;
    m_lastTimestamp = press->timestamp();
    m_lastPosition = global;

    QWidget* window = m_view->window();
    if (windowOf(watched, *m_view) != window) {
        return false;
    }
    const QWidget* focused = m_fieldLosingFocus ? m_fieldLosingFocus.data() : window->focusWidget();
    m_fieldLosingFocus = nullptr;
    if (!isTextInputer(focused) || !focused->isVisible()) {
        return false;
    }
    const QRectF field(focused->mapTo(window, QPoint(0, 0)), focused->size());
    if (field.contains(window->mapFromGlobal(global))) {
        return false;
    }
    // The press is still on its way; the action runs after it has been handled.
    QTimer::singleShot(0, this, [this] {
        if (m_action) {
            m_action();
        }
    });
    return false;
}

OutOfTextInputerTapMonitor* onTapOutOfFocusedTextInputers(QWidget& view,
                                                          std::function<void()> action) {
    return new OutOfTextInputerTapMonitor(view, std::move(action));
}

} // namespace uikit
