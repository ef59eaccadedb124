#include "components/vt_tips.hpp"

#include "components/delay.hpp"
#include "core/executor.hpp"
#include "icon_tint.hpp"
#include "overlay.hpp"
#include "standard_colors.hpp"
#include "state_binding.hpp"
#include "uikit/color.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QStyle>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

namespace components {

namespace {

using Clock = VtTips::Tips::Clock;

constexpr double kLiteralInsets = 4.0;
constexpr double kLiteralSpacing = 4.0;
constexpr double kLiteralDuration = 3.5;
constexpr qreal kCornerRadius = 3.0;
constexpr int kDrop = 10;
constexpr int kCaptionPixelSize = 10;
constexpr int kSubheadlinePixelSize = 11;
// Untranslated keys look themselves up in this context when a tip names none.
constexpr const char* kMainContext = "main";

constexpr Qt::Alignment kTopCentre = Qt::AlignTop | Qt::AlignHCenter;

Clock::time_point deadlineAfter(double seconds) {
    const Clock::time_point now = Clock::now();
    const auto delay = toDelay(seconds);
    if (!delay || *delay >= Clock::time_point::max() - now) {
        return Clock::time_point::max();
    }
    return now + std::chrono::duration_cast<Clock::duration>(*delay);
}

int toPixels(double value) {
    if (!std::isfinite(value) || value <= 0) {
        return 0;
    }
    return static_cast<int>(std::lround(std::min(value, 1e6)));
}

QString localized(const std::string& key, const std::optional<std::string>& bundle) {
    return QCoreApplication::translate(bundle ? bundle->c_str() : kMainContext, key.c_str());
}

// The widgets stacked in `parent`, bottom first, other than `except`; windows parented to it
// stand apart from that order.
QList<QWidget*> stacked(const QWidget& parent, const QWidget* except) {
    QList<QWidget*> widgets;
    for (QObject* child : parent.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr && widget != except && !widget->isWindow()) {
            widgets.append(widget);
        }
    }
    return widgets;
}

// Where a view stood among its siblings before a tip moved it.
struct SiblingPlace {
    QPointer<QWidget> parent;
    QPointer<QWidget> above; ///< The sibling right above it; none when it was topmost.
    qsizetype index = 0;     ///< Its index in the stacking order, bottom first.
};

SiblingPlace placeOf(const QWidget& view) {
    const QList<QWidget*> all = stacked(*view.parentWidget(), nullptr);
    const qsizetype index = all.indexOf(&view);
    return {view.parentWidget(), index + 1 < all.size() ? all[index + 1] : nullptr, index};
}

void restore(QWidget& view, const SiblingPlace& place) {
    QWidget* parent = view.parentWidget();
    if (parent == nullptr || parent != place.parent) {
        return; // moved elsewhere meanwhile: its old place means nothing there
    }
    // Back under the same neighbour, which keeps the index when the siblings are unchanged and
    // keeps the neighbourhood when siblings came or went meanwhile.
    if (QWidget* above = place.above.data(); above != nullptr && above->parentWidget() == parent) {
        view.stackUnder(above);
        return;
    }
    const QList<QWidget*> others = stacked(*parent, &view);
    if (place.index >= others.size()) {
        view.raise();
    } else {
        view.stackUnder(others[place.index]);
    }
}

} // namespace

VtTips::Tips::Tips(Qt::Alignment place, Kind tipKind, std::optional<QImage> image,
                   std::string titleKey, std::optional<std::string> subTitleKey,
                   std::optional<std::string> context, uikit::EdgeInsets insets, double space,
                   double seconds, double order, std::function<void()> action)
    : id(core::Uuid::random()), alignment(place), kind(tipKind), icon(std::move(image)),
      title(std::move(titleKey)), subTitle(std::move(subTitleKey)), bundle(std::move(context)),
      duration(seconds), padding(insets), spacing(space), zIndex(order), tapped(std::move(action)),
      deadline(deadlineAfter(seconds)) {}

VtTips::Tips::Tips(const char* literal) : Tips(std::string(literal != nullptr ? literal : "")) {}

VtTips::Tips::Tips(std::string literal)
    : Tips(kTopCentre, Kind::info, std::nullopt, std::move(literal), std::nullopt, std::nullopt,
           uikit::EdgeInsets::all(kLiteralInsets), kLiteralSpacing, kLiteralDuration, 0, {}) {}

VtTips::Tips VtTips::Tips::info(std::string title, std::optional<std::string> subTitle,
                                std::optional<std::string> bundle, Qt::Alignment alignment,
                                uikit::EdgeInsets padding, double spacing, double duration,
                                double zIndex, std::function<void()> tapped) {
    return {alignment,         Kind::info, std::nullopt, std::move(title), std::move(subTitle),
            std::move(bundle), padding,    spacing,      duration,         zIndex,
            std::move(tapped)};
}

VtTips::Tips VtTips::Tips::warning(std::string title, std::optional<std::string> subTitle,
                                   std::optional<std::string> bundle, Qt::Alignment alignment,
                                   uikit::EdgeInsets padding, double spacing, double duration,
                                   double zIndex, std::function<void()> tapped) {
    return {alignment,         Kind::warning, std::nullopt, std::move(title), std::move(subTitle),
            std::move(bundle), padding,       spacing,      duration,         zIndex,
            std::move(tapped)};
}

VtTips::Tips VtTips::Tips::error(std::string title, std::optional<std::string> subTitle,
                                 std::optional<std::string> bundle, uikit::EdgeInsets padding,
                                 double spacing, double duration, double zIndex,
                                 std::function<void()> tapped) {
    return {kTopCentre,        Kind::error, std::nullopt, std::move(title), std::move(subTitle),
            std::move(bundle), padding,     spacing,      duration,         zIndex,
            std::move(tapped)};
}

VtTips::Tips VtTips::Tips::success(std::string title, std::optional<std::string> subTitle,
                                   std::optional<std::string> bundle, uikit::EdgeInsets padding,
                                   double spacing, double duration, double zIndex,
                                   std::function<void()> tapped) {
    return {kTopCentre,        Kind::success, std::nullopt, std::move(title), std::move(subTitle),
            std::move(bundle), padding,       spacing,      duration,         zIndex,
            std::move(tapped)};
}

VtTips::Colors VtTips::colors(Kind kind) {
    const QColor white(Qt::white);
    switch (kind) {
    case Kind::info:
        return {detail::rgbF(0.1, 0.1, 0.15), white, detail::rgbF(0.8, 0.8, 0.8)};
    case Kind::warning:
        return {uikit::Color::alpha(detail::standardYellow(), 0.95), QColor(Qt::black),
                detail::rgbF(0.2, 0.2, 0.2)};
    case Kind::error:
        return {detail::rgbF(0.85, 0.1, 0.1), white, detail::rgbF(0.8, 0.8, 0.8)};
    case Kind::success:
        return {detail::rgbF(0.15, 0.75, 0.1), white, detail::rgbF(0.8, 0.8, 0.8)};
    }
    return colors(Kind::info);
}

QRect VtTips::place(const QRect& outer, const QSize& size, Qt::Alignment alignment) {
    Qt::Alignment whole = alignment;
    if ((whole & Qt::AlignHorizontal_Mask) == 0) {
        whole |= Qt::AlignHCenter;
    }
    if ((whole & Qt::AlignVertical_Mask) == 0) {
        whole |= Qt::AlignVCenter;
    }
    return QStyle::alignedRect(Qt::LeftToRight, whole, size, outer);
}

struct TipsController::State {
    State(uikit::Binding<Value> b, Now n) : binding(std::move(b)), now(std::move(n)) {}
    uikit::Binding<Value> binding;
    Now now;
    std::optional<core::Uuid> last;

    void expire(const core::Uuid& shown) const {
        const Value current = binding.get();
        if (!current) {
            return;
        }
        // Another tip is cleared only once its own time is up, so a newer tip is spared.
        if (current->id == shown || now() >= current->deadline) {
            binding.set(std::nullopt);
        }
    }
};

TipsController::TipsController(uikit::Binding<Value> tips, Now now)
    : m_state(std::make_shared<State>(std::move(tips), std::move(now))) {}

void TipsController::changed(const Value& value) {
    std::optional<core::Uuid> id;
    if (value) {
        id = value->id;
    }
    if (id == m_state->last) {
        return;
    }
    m_state->last = id;
    if (!value) {
        return;
    }
    // Every tip that comes on screen gets its own timer, a direct replacement included.
    const auto delay = toDelay(value->duration);
    if (!delay) {
        return;
    }
    // Never cancelled: the expiry runs even when the tip's view is gone, and its own checks keep it
    // from clearing a newer tip.
    core::mainLoop()->postAfter(*delay,
                                [state = m_state, shown = value->id] { state->expire(shown); });
}

void TipsController::tap() {
    const Value current = m_state->binding.get();
    if (!current) {
        return;
    }
    std::function<void()> tapped = current->tapped;
    m_state->binding.set(std::nullopt);
    if (tapped) {
        // Runs after the clearing, as its own main-loop job.
        core::mainLoop()->post(std::move(tapped));
    }
}

class VtTips::TipView : public detail::TapSurface {
public:
    TipView(QWidget* parent, TipsController& controller)
        : TapSurface(parent, [&controller] { controller.tap(); }) {}

    void display(const Tips& tips) {
        delete layout();
        qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
        const Colors colors = VtTips::colors(tips.kind);
        m_background = colors.background;

        QFont caption = font();
        caption.setPixelSize(kCaptionPixelSize);
        QFont subheadline = font();
        subheadline.setPixelSize(kSubheadlinePixelSize);
        subheadline.setBold(true);
        const auto label = [this](const QString& text, const QFont& font, const QColor& color) {
            auto* made = new QLabel(text, this);
            made->setFont(font);
            QPalette palette = made->palette();
            palette.setColor(QPalette::WindowText, color);
            made->setPalette(palette);
            return made;
        };
        const auto icon = [this](const QImage& image, int width, const QColor& color) {
            auto* made = new QLabel(this);
            const QImage tinted = detail::tintedIcon(image, QSize(width, 1 << 16), color);
            made->setPixmap(QPixmap::fromImage(tinted));
            made->setContentsMargins(4, 4, 4, 4);
            return made;
        };
        const QString title = localized(tips.title, tips.bundle);

        QBoxLayout* box = nullptr;
        if (!tips.icon && !tips.subTitle) {
            box = new QVBoxLayout(this);
            box->addWidget(label(title, caption, colors.main));
        } else if (!tips.icon) {
            box = new QVBoxLayout(this);
            box->addWidget(label(title, subheadline, colors.main));
            box->addWidget(label(localized(*tips.subTitle, tips.bundle), caption, colors.grey));
        } else if (!tips.subTitle) {
            box = new QHBoxLayout(this);
            box->setSpacing(0);
            box->addWidget(icon(*tips.icon, 10, colors.main), 0, Qt::AlignVCenter);
            box->addWidget(label(title, caption, colors.main), 0, Qt::AlignVCenter);
        } else {
            box = new QHBoxLayout(this);
            box->setSpacing(2);
            box->addWidget(icon(*tips.icon, 14, colors.grey), 0, Qt::AlignTop);
            auto* column = new QVBoxLayout();
            column->addWidget(label(title, subheadline, colors.grey));
            column->addWidget(label(localized(*tips.subTitle, tips.bundle), caption, colors.grey));
            box->addLayout(column);
        }
        box->setContentsMargins(tips.padding.toQMargins(layoutDirection()));
        box->setSizeConstraint(QLayout::SetFixedSize);
        // Children added to a widget already on screen stay hidden until shown, and would not
        // count in the size the overlay is placed with.
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            child->show();
        }
        update();
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override { fillRounded(kCornerRadius, m_background); }

private:
    QColor m_background;
};

class VtTips::Impl : public detail::OverlayParts<TipsController, TipView> {
public:
    using OverlayParts::OverlayParts;

    std::optional<Tips> shown;
    // Set while a tip holds the view out of its place among its siblings.
    std::optional<SiblingPlace> moved;
};

VtTips::VtTips(QWidget* content, core::rx::RxState<std::optional<Tips>> tips, QWidget* parent)
    : QWidget(parent), m_content(content), m_impl(std::make_unique<Impl>(*this, tips)) {
    detail::holdContent(*this, content);
    m_impl->follow(tips, [this](const std::optional<Tips>& value) { present(value); });
}

VtTips::~VtTips() {
    m_impl->subscription.cancel();
}

QWidget* VtTips::tip() const noexcept {
    return m_impl->view;
}

QRect VtTips::tipPlace() const {
    if (!m_impl->shown) {
        return {};
    }
    const int spacing = toPixels(m_impl->shown->spacing);
    const QRect outer = rect().adjusted(spacing, spacing, -spacing, -spacing);
    return place(outer, m_impl->view->sizeHint(), m_impl->shown->alignment);
}

void VtTips::order(double zIndex) {
    // The z-order is among siblings: a window of its own has none, and raising or lowering it
    // would move it among the desktop's windows instead.
    if (parentWidget() == nullptr || isWindow()) {
        m_impl->moved.reset();
        return;
    }
    if (zIndex > 0 || zIndex < 0) {
        // The first tip to move the view records its place; later ones keep that record.
        if (!m_impl->moved) {
            m_impl->moved = placeOf(*this);
        }
        if (zIndex > 0) {
            raise();
        } else {
            lower();
        }
        return;
    }
    if (const std::optional<SiblingPlace> place = std::exchange(m_impl->moved, std::nullopt)) {
        restore(*this, *place);
    }
}

void VtTips::present(const std::optional<Tips>& tips) {
    order(tips ? tips->zIndex : 0);
    if (!tips) {
        m_impl->transition.leave(QPoint(0, -kDrop));
        return;
    }
    m_impl->shown = tips;
    m_impl->view->display(*tips);
    m_impl->transition.enter(tipPlace(), QPoint(0, -kDrop));
}

void VtTips::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_impl->transition.place(tipPlace());
}

VtTips* vtTips(QWidget* content, core::rx::RxState<std::optional<VtTips::Tips>> tips,
               QWidget* parent) {
    return new VtTips(content, std::move(tips), parent);
}

} // namespace components
