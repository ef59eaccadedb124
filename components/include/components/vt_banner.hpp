#pragma once

#include "core/rx.hpp"
#include "core/rx_state.hpp"
#include "uikit/binding.hpp"

#include <QColor>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class QLabel;

namespace components {

/// The banner's content and colours.
struct VtBanner {
    /// The colour of a banner's card.
    enum class Style { info, warning, success, error };

    /// What a banner shows and for how long.
    struct Def {
        QString title;   ///< The first line.
        QString detail;  ///< The second line; empty means none.
        Style stype;     ///< The card's colour.
        double duration; ///< Seconds the banner stays before it dismisses itself.

        /// Stores the four values as given.
        Def(QString title, QString detail, Style style, double duration);
        friend bool operator==(const Def&, const Def&) = default;
    };

    /// The card colour of `style`: a blue (67, 154, 215) for `info`, the standard yellow, green
    /// and red for the others.
    static QColor color(Style style);
};

/// The dismissal rules of a banner, without a widget: every set of the caller's value starts the
/// full duration again, a tap clears the value on the next main-loop turn, a stale timer clears
/// nothing, and a banner whose view goes while it is shown still clears the caller's value.
/// Timers run on `core::mainLoop()`; use it on that loop's thread.
class BannerController {
public:
    /// The caller's value.
    using Value = std::optional<VtBanner::Def>;

    /// Rules for the value behind `def`, which the owner reports through `changed`.
    explicit BannerController(uikit::Binding<Value> def);
    /// Clears the caller's value on the next main-loop turn when a banner is still shown.
    ~BannerController();
    BannerController(const BannerController&) = delete;
    BannerController& operator=(const BannerController&) = delete;

    /// Takes note of a write of the caller's value (equal or not): a banner restarts its timer,
    /// no value stops it.
    void changed(const Value& value);
    /// A tap on the banner: clears the value on the next main-loop turn.
    void tap();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

/// Shows a banner card at the top of its content while the caller's value holds a definition.
/// The card is a child sized to itself, so clicks beside it reach the content.
class VtBannerModifier : public QWidget {
public:
    /// Wraps `content` (taken over) and follows `bannerDef`, the caller's state, which is
    /// written on the GUI thread only.
    VtBannerModifier(QWidget* content, core::rx::RxState<std::optional<VtBanner::Def>> bannerDef,
                     QWidget* parent = nullptr);
    ~VtBannerModifier() override;

    /// The wrapped content.
    QWidget* content() const noexcept { return m_content; }
    /// The card widget (hidden while no banner is shown).
    QWidget* card() const noexcept;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Card;
    class Impl;
    QRect cardPlace() const;
    void present(const std::optional<VtBanner::Def>& def);

    QWidget* m_content;
    std::unique_ptr<Impl> m_impl;
};

/// Wraps `content` in a banner overlay that follows the caller's `def` state.
VtBannerModifier* vtBanner(QWidget* content, core::rx::RxState<std::optional<VtBanner::Def>> def,
                           QWidget* parent = nullptr);

} // namespace components
