#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace uikit {

/// Calls an action when the left mouse button is pressed in a view's window outside the text
/// field (`QLineEdit`, `QTextEdit`, `QPlainTextEdit`) that holds that window's keyboard focus.
/// The focus is read as the press arrives, before the press can move it, so a press on a button
/// still counts; the action runs later from the event loop, once per press, and the press itself
/// is always delivered as usual. Presses in other windows, or with no text field focused, call
/// nothing. The monitor is a child of the view and stops with it.
class OutOfTextInputerTapMonitor final : public QObject {
public:
    /// Watches the presses of the whole application on behalf of `view`.
    OutOfTextInputerTapMonitor(QWidget& view, std::function<void()> action);
    ~OutOfTextInputerTapMonitor() override;
    OutOfTextInputerTapMonitor(const OutOfTextInputerTapMonitor&) = delete;
    OutOfTextInputerTapMonitor& operator=(const OutOfTextInputerTapMonitor&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_view;
    std::function<void()> m_action;
    QPointer<QWidget> m_fieldLosingFocus;
    // One press reaches the filter several times (each widget it propagates to); the first
    // sighting decides.
    quint64 m_lastTimestamp = 0;
    QPointF m_lastPosition;
    bool m_seenAny = false;
};

/// Calls `action` for each left press in `view`'s window outside its focused text field; returns
/// the monitor, owned by `view`.
OutOfTextInputerTapMonitor* onTapOutOfFocusedTextInputers(QWidget& view,
                                                          std::function<void()> action);

} // namespace uikit
