#pragma once

#include "core/rx.hpp"
#include "core/rx_state.hpp"
#include "uikit/binding.hpp"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

namespace components {

class ToastController;

/// Shows a toast as a strip hanging from the top of its content while the caller's value holds
/// one; the strip clears the value after the toast's duration and when clicked.
class VtToast : public QWidget {
public:
    /// The tint of a toast.
    enum class Kind { info, warning, error };
    /// How the strip should treat the window's safe area; carried, but no value changes the layout.
    enum class SafeAreaDisplay { ignore, skip, fill };
    /// The four arrangements of a toast's content.
    enum class Layout {
        title,          ///< No icon, no secondary line: the title alone.
        titleBlock,     ///< No icon: the bold title over the secondary line.
        iconTitle,      ///< The icon beside the title.
        badgeTitleBlock ///< The icon on a white badge beside the bold title and secondary line.
    };

    /// What a toast shows and for how long; equal when all fields are (icons compared as images).
    struct Toast {
        Kind kind;                       ///< The tint.
        std::optional<QImage> icon;      ///< Shown at the leading side when present.
        QString title;                   ///< The main line.
        std::optional<QString> subTitle; ///< The secondary line; empty counts as absent.
        double duration;                 ///< Seconds before the toast clears itself.

        friend bool operator==(const Toast&, const Toast&) = default;
    };

    /// The tint of `kind`, before the strip makes it half transparent.
    static QColor tint(Kind kind);
    /// The colour of the secondary line for `kind`: grey 0.2 on `warning`, 0.8 otherwise.
    static QColor secondaryColor(Kind kind);
    /// The arrangement `toast` is shown in, by its icon and non-empty secondary line.
    static Layout layoutOf(const Toast& toast);

    /// Wraps `content` (taken over) and follows `toast`, the caller's state, which is
    /// written on the GUI thread only.
    VtToast(QWidget* content, core::rx::RxState<std::optional<Toast>> toast,
            SafeAreaDisplay safeAreaDisplay = SafeAreaDisplay::fill, QWidget* parent = nullptr);
    ~VtToast() override;

    /// The wrapped content.
    QWidget* content() const noexcept { return m_content; }
    /// The strip (hidden while no toast is shown), with a band for its shadow at the bottom.
    QWidget* strip() const noexcept;
    /// The safe-area choice given at creation.
    SafeAreaDisplay safeAreaDisplay() const noexcept { return m_safeAreaDisplay; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Strip;
    class Impl;
    QRect stripPlace() const;
    void present(const std::optional<Toast>& toast);

    QWidget* m_content;
    SafeAreaDisplay m_safeAreaDisplay;
    std::unique_ptr<Impl> m_impl;
};

/// The dismissal rules of a toast, without a widget: a timer starts on every change to a toast
/// (an equal toast starts none, the toast present when first seen counts as a change), each timer
/// clears only the toast it was started for (even after the controller is gone), and a tap clears
/// whatever is shown on the next main-loop turn. Timers run on `core::mainLoop()`; use it on that
/// loop's thread.
class ToastController {
public:
    /// The caller's value.
    using Value = std::optional<VtToast::Toast>;

    /// Rules for the value behind `toast`, which the owner reports through `changed`.
    explicit ToastController(uikit::Binding<Value> toast);
    ToastController(const ToastController&) = delete;
    ToastController& operator=(const ToastController&) = delete;
    ~ToastController() = default;

    /// Takes note of the caller's value; the first call reports the value present at attach.
    void changed(const Value& value);
    /// A tap on the strip: clears the toast on the next main-loop turn.
    void tap();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

/// Wraps `content` in a toast overlay that follows the caller's `toast` state.
VtToast* vtToast(QWidget* content, core::rx::RxState<std::optional<VtToast::Toast>> toast,
                 VtToast::SafeAreaDisplay safeArea = VtToast::SafeAreaDisplay::fill,
                 QWidget* parent = nullptr);

} // namespace components
