#pragma once

#include "core/rx.hpp"
#include "core/rx_state.hpp"
#include "core/uuid.hpp"
#include "uikit/binding.hpp"
#include "uikit/edge_insets.hpp"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace components {

/// Floats a small tip over its content while the caller's value holds one; the tip keeps its
/// own size, sits where its alignment says, clears itself after its duration and when clicked.
class VtTips : public QWidget {
public:
    /// The kind of a tip, which chooses its colours.
    enum class Kind { info, warning, error, success };

    /// The colours of a kind.
    struct Colors {
        QColor background; ///< Behind the tip.
        QColor main;       ///< The title.
        QColor grey;       ///< The secondary line.
    };

    /// One tip; equal to another exactly when their ids are equal.
    struct Tips {
        /// Where the monotonic deadline is measured.
        using Clock = std::chrono::steady_clock;

        core::Uuid id;                       ///< Fresh for every tip made.
        Qt::Alignment alignment;             ///< Where the tip sits in the content.
        Kind kind;                           ///< Chooses the colours.
        std::optional<QImage> icon;          ///< Shown before the text when present.
        std::string title;                   ///< The main line's translation key.
        std::optional<std::string> subTitle; ///< The secondary line's translation key.
        std::optional<std::string> bundle;   ///< The translation context; none means the main one.
        double duration;                     ///< Seconds the tip stays once shown.
        uikit::EdgeInsets padding;           ///< Space between the text and the tip's edge.
        double spacing;                      ///< Space kept around the tip.
        /// The modified view's z-order among its siblings while the tip is set: above 0 it is
        /// raised over them, below 0 lowered under them; its own place comes back when the tip
        /// clears or a tip with 0 replaces it.
        double zIndex;
        std::function<void()> tapped; ///< Run after a click has cleared the tip.
        Clock::time_point deadline;   ///< Creation time plus `duration`, saturating.

        /// A new tip (fresh id) whose deadline is now plus `duration`.
        Tips(Qt::Alignment alignment, Kind kind, std::optional<QImage> icon, std::string title,
             std::optional<std::string> subTitle, std::optional<std::string> bundle,
             uikit::EdgeInsets padding, double spacing, double duration, double zIndex,
             std::function<void()> tapped);
        /// An info tip at the top centre showing `title`, padded 4, spaced 4, for 3.5 seconds.
        Tips(const char* title); // NOLINT(*-explicit-*): a tip may be written as a literal
        /// The same for a title held in a string.
        Tips(std::string title); // NOLINT(*-explicit-*)

        /// An info tip, no icon.
        static Tips info(std::string title, std::optional<std::string> subTitle,
                         std::optional<std::string> bundle, Qt::Alignment alignment,
                         uikit::EdgeInsets padding, double spacing, double duration, double zIndex,
                         std::function<void()> tapped);
        /// A warning tip, no icon.
        static Tips warning(std::string title, std::optional<std::string> subTitle,
                            std::optional<std::string> bundle, Qt::Alignment alignment,
                            uikit::EdgeInsets padding, double spacing, double duration,
                            double zIndex, std::function<void()> tapped);
        /// An error tip at the top centre, no icon.
        static Tips error(std::string title, std::optional<std::string> subTitle,
                          std::optional<std::string> bundle, uikit::EdgeInsets padding,
                          double spacing, double duration, double zIndex,
                          std::function<void()> tapped);
        /// A success tip at the top centre, no icon.
        static Tips success(std::string title, std::optional<std::string> subTitle,
                            std::optional<std::string> bundle, uikit::EdgeInsets padding,
                            double spacing, double duration, double zIndex,
                            std::function<void()> tapped);

        friend bool operator==(const Tips& a, const Tips& b) noexcept { return a.id == b.id; }
    };

    /// The colours of `kind`.
    static Colors colors(Kind kind);
    /// The rectangle of `size` placed inside `outer` by `alignment` (centred on an axis the
    /// alignment leaves open).
    static QRect place(const QRect& outer, const QSize& size, Qt::Alignment alignment);

    /// Wraps `content` (taken over) and follows `tips`, the caller's state, which is
    /// written on the GUI thread only.
    VtTips(QWidget* content, core::rx::RxState<std::optional<Tips>> tips,
           QWidget* parent = nullptr);
    ~VtTips() override;

    /// The wrapped content.
    QWidget* content() const noexcept { return m_content; }
    /// The tip widget (hidden while no tip is shown).
    QWidget* tip() const noexcept;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class TipView;
    class Impl;
    QRect tipPlace() const;
    void order(double zIndex);
    void present(const std::optional<Tips>& tips);

    QWidget* m_content;
    std::unique_ptr<Impl> m_impl;
};

/// The dismissal rules of tips, without a widget: a timer starts on every change of tip (the tip
/// present when first seen included); when it ends it clears its own tip, or another tip only past
/// that tip's deadline. A tap clears the tip, then runs its `tapped` action on the next main-loop
/// turn. Timers run on `core::mainLoop()`; use it on that loop's thread.
class TipsController {
public:
    /// The caller's value.
    using Value = std::optional<VtTips::Tips>;
    /// Reads the monotonic clock that deadlines are compared with.
    using Now = std::function<VtTips::Tips::Clock::time_point()>;

    /// Rules for the value behind `tips`, which the owner reports through `changed`.
    explicit TipsController(uikit::Binding<Value> tips, Now now = VtTips::Tips::Clock::now);
    TipsController(const TipsController&) = delete;
    TipsController& operator=(const TipsController&) = delete;
    ~TipsController() = default;

    /// Takes note of the caller's value; the first call reports the value present at attach.
    void changed(const Value& value);
    /// A click on the tip.
    void tap();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

/// Wraps `content` in a tips overlay that follows the caller's `tips` state.
VtTips* vtTips(QWidget* content, core::rx::RxState<std::optional<VtTips::Tips>> tips,
               QWidget* parent = nullptr);

} // namespace components
