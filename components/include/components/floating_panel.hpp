#pragma once

#include "core/rx.hpp"
#include "core/rx_state.hpp"

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QVBoxLayout;

namespace components {

class FloatingPanel;

/// What a panel's content calls to close its panel. Holds the panel weakly: once the panel is
/// gone, calling it does nothing.
class FloatingPanelCloseAction {
public:
    /// An action that does nothing.
    FloatingPanelCloseAction() = default;
    /// An action that runs `action`.
    explicit FloatingPanelCloseAction(std::function<void()> action) : m_action(std::move(action)) {}

    /// Runs the action.
    void operator()() const {
        if (m_action) {
            m_action();
        }
    }

    /// The action content outside any panel gets; does nothing unless a program replaces it.
    static FloatingPanelCloseAction& defaultValue();

private:
    std::function<void()> m_action;
};

/// How content finds the panel that hosts it: the panel, held weakly (null outside a panel).
struct FloatingPanelContainer {
    QPointer<FloatingPanel> panel;
};

/// The panel hosting `content` (found through its window), if any.
FloatingPanelContainer floatingPanelContainer(const QWidget* content);

/// The close action of the panel hosting `content`, or the default action outside a panel.
FloatingPanelCloseAction closeFloatingPanel(const QWidget* content);

/// A frameless tool window kept above the application's windows, edged by a 1 px line that
/// everything it holds stays inside, with an optional close button and a size grip. Dragging its
/// background (anywhere a press is not taken by a control) moves it. It writes `false` into its
/// presented state whenever it closes, however it closes, once per change.
class FloatingPanel : public QWidget {
    Q_OBJECT
public:
    /// Builds the panel, hidden, around the content `view` makes (called once, here), with the
    /// room inside its edge placed and sized to `contentRect`. With `autoDismiss`, the panel closes
    /// when another window of this application becomes active (never when the user switches to
    /// another application).
    FloatingPanel(const std::function<QWidget*()>& view, bool autoDismiss, bool closeButtonVisible,
                  const QRect& contentRect, core::rx::RxState<bool> isPresented);
    ~FloatingPanel() override;

    /// Shows the panel in front and gives it the keyboard.
    void present();
    /// Centres the panel on its screen's available area.
    void center();

    /// Whether the panel closes when another window of this application becomes active.
    bool autoDismiss() const noexcept { return m_autoDismiss; }
    /// The close button, or null when the panel shows none.
    QAbstractButton* closeButton() const noexcept { return m_closeButton; }
    /// The content widget.
    QWidget* content() const noexcept { return m_content; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void resignMain();

    bool m_autoDismiss;
    core::rx::RxState<bool> m_isPresented;
    QAbstractButton* m_closeButton = nullptr;
    QWidget* m_content = nullptr;
    bool m_dragging = false;
    QPoint m_grab;
};

/// Attaches a floating panel to `host`: each time the host is shown, a new panel is built (the
/// previous one closed and released first), centred, and presented if `isPresented` holds; later
/// values of `isPresented` present or close it; hiding the host closes and releases it.
/// The modifier is a child of the host and ends with it.
class FloatingPanelModifier : public QObject {
    Q_OBJECT
public:
    /// Attaches to `host`; `autoDissmiss`, `closeButtonVisible`, `contentRect` and `content` are
    /// taken once and used for every panel built.
    FloatingPanelModifier(QWidget* host, core::rx::RxState<bool> isPresented, bool autoDissmiss,
                          bool closeButtonVisible, const QRect& contentRect,
                          std::function<QWidget*()> content);
    ~FloatingPanelModifier() override;

    /// The current panel, if one is built.
    FloatingPanel* panel() const { return m_panel.data(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void appear();
    void disappear();
    void releasePanel();

    core::rx::RxState<bool> m_isPresented;
    bool m_autoDismiss;
    bool m_closeButtonVisible;
    QRect m_contentRect;
    std::function<QWidget*()> m_content;
    QPointer<FloatingPanel> m_panel;
    core::rx::Cancellable m_subscription;
};

/// Attaches a floating panel to `view` (see `FloatingPanelModifier`) and returns `view`.
QWidget* floatingPanel(QWidget* view, core::rx::RxState<bool> isPresented, bool autoDissmiss,
                       bool closeButtonVisible, const QRect& contentRect,
                       std::function<QWidget*()> content);

} // namespace components
