#pragma once

#include "core/rx.hpp"
#include "core/rx_event.hpp"
#include "core/rx_state.hpp"
#include "uikit/binding.hpp"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QGraphicsBlurEffect;
class QPushButton;
class QVariantAnimation;

namespace components {

/// What a heads-up display session announces.
struct VtHudEvent {
    /// The cases, in the order a session sends them.
    enum class Kind { willDismiss, didDismissed, willPresent, didPresented };

    Kind kind;             ///< Which announcement.
    bool manually = false; ///< For the dismissals: whether a user asked (never, from this library).

    /// `willDismiss(manually)`.
    static VtHudEvent willDismiss(bool manually) { return {Kind::willDismiss, manually}; }
    /// `didDismissed(manually)`.
    static VtHudEvent didDismissed(bool manually) { return {Kind::didDismissed, manually}; }
    /// `willPresent`.
    static VtHudEvent willPresent() { return {Kind::willPresent, false}; }
    /// `didPresented`.
    static VtHudEvent didPresented() { return {Kind::didPresented, false}; }

    friend bool operator==(const VtHudEvent&, const VtHudEvent&) = default;
};

class VtHudSession;

/// Owns whether the heads-up display shows and the one session that may exist. Lives in a
/// `shared_ptr` (sessions refer back to it weakly); use it on the GUI thread.
class VtHudManager : public std::enable_shared_from_this<VtHudManager> {
public:
    /// A manager that shows nothing and holds no session.
    static std::shared_ptr<VtHudManager> create();
    VtHudManager(const VtHudManager&) = delete;
    VtHudManager& operator=(const VtHudManager&) = delete;
    ~VtHudManager() = default;

    /// Whether the display should show: the state to hand to `vtHud`.
    const core::rx::RxState<bool>& presented() const noexcept { return m_presented; }
    /// The session that exists, or null.
    const std::shared_ptr<VtHudSession>& session() const noexcept { return m_session; }

    /// Makes the one session and shows the display at once (before the session starts); null
    /// while another session exists.
    std::shared_ptr<VtHudSession> newSession(bool cancellable);

private:
    friend class VtHudSession;
    VtHudManager() = default;

    core::rx::RxState<bool> m_presented{false};
    std::shared_ptr<VtHudSession> m_session;
};

/// One piece of work shown by the heads-up display: it announces its start and end, and changes
/// its manager only while it is that manager's session, so a stale session never hides a newer one.
class VtHudSession {
public:
    /// A session of `manager` (held weakly), not yet started.
    VtHudSession(const std::shared_ptr<VtHudManager>& manager, bool cancellable);

    /// The session's announcements, delivered synchronously inside `start` and `close`.
    core::rx::Publisher<VtHudEvent> eventPublisher() const;
    /// True between `start` and `close`.
    bool presented() const noexcept { return m_presented; }
    /// The flag given at creation.
    bool cancellable() const noexcept { return m_cancellable; }

    /// Announces the start (once; later calls do nothing) and shows the display.
    void start();
    /// Announces the end of a started session, hides the display and leaves the manager; a session
    /// never started announces nothing.
    void close();

private:
    /// The manager, when it still exists and this is its session.
    std::shared_ptr<VtHudManager> owningManager() const;

    std::weak_ptr<VtHudManager> m_manager;
    core::rx::RxEvent<VtHudEvent> m_eventSubject;
    bool m_presented = false;
    bool m_cancellable;
};

/// The optional cancel button at the bottom of the heads-up display.
struct VtHudCancelButton {
    std::function<void()> didCancelled; ///< Called after a click hid the display; may be empty.
    std::function<QString()> cancelButtonText; ///< The button's label.
    std::optional<double> bottomPadding;       ///< Extra space under the button, in pixels.

    /// A button with the given action, label and bottom padding.
    VtHudCancelButton(std::function<void()> didCancelled, std::function<QString()> cancelButtonText,
                      double bottomPadding);
};

/// The spinner in the middle of the heads-up display: an arc turning while it is shown.
class VtDefaultSpinner : public QWidget {
public:
    /// A spinner `size` pixels square.
    explicit VtDefaultSpinner(double size, QWidget* parent = nullptr);

    /// The side of its square.
    double spinnerSize() const noexcept { return m_size; }
    /// True while it turns (while shown).
    bool spinning() const noexcept { return m_spining; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    double m_size;
    bool m_spining = false;
    int m_angle = 0;
    QVariantAnimation* m_turn;
};

/// While the caller's flag is true, disables its content, dims it under a black veil (blurred
/// when a radius is given and the content carries no graphics effect of its own) and shows a
/// spinner and, when given, a cancel button; the display covers the whole content.
class VtHudModifier : public QWidget {
public:
    /// Wraps `content` (taken over) and follows `presented`, the caller's state, which is
    /// written on the GUI thread only.
    VtHudModifier(QWidget* content, core::rx::RxState<bool> presented, double spinnerSize,
                  std::optional<double> blurryRadius,
                  std::optional<VtHudCancelButton> manualCancellation, QWidget* parent = nullptr);
    ~VtHudModifier() override;

    /// The wrapped content.
    QWidget* content() const noexcept { return m_content; }
    /// The layer over the content (hidden while the flag is false).
    QWidget* layer() const noexcept;
    /// The cancel button, or null when none was asked for.
    QPushButton* cancelButton() const noexcept;
    /// The spinner.
    VtDefaultSpinner* spinner() const noexcept;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Layer;
    void present(bool presented);

    QWidget* m_content;
    uikit::Binding<bool> m_presented;
    std::optional<double> m_blurryRadius;
    QPointer<QGraphicsBlurEffect> m_blur; // the blur this display put on the content, if any
    Layer* m_layer;
    bool m_contentWasEnabled = true;
    bool m_shown = false;
    core::rx::Cancellable m_subscription;
};

/// Wraps `content` in a heads-up display that follows the caller's `presented` state.
VtHudModifier* vtHud(QWidget* content, core::rx::RxState<bool> presented, double spinnerSize,
                     std::optional<double> blurryRadius = std::nullopt,
                     std::optional<VtHudCancelButton> cancellation = std::nullopt,
                     QWidget* parent = nullptr);

} // namespace components
