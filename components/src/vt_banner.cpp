#include "components/vt_banner.hpp"

#include "components/delay.hpp"
#include "core/executor.hpp"
#include "overlay.hpp"
#include "standard_colors.hpp"
#include "state_binding.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>

namespace components {

namespace {

// The default padding around the card, as the surrounding stack gives it.
constexpr int kOuterPadding = 16;
constexpr int kCardPadding = 12;
constexpr qreal kCardRadius = 8;

void dismiss(const uikit::Binding<BannerController::Value>& binding) {
    if (binding.get().has_value()) {
        binding.set(std::nullopt);
    }
}

void postDismissal(uikit::Binding<BannerController::Value> binding) {
    core::mainLoop()->post([binding = std::move(binding)] { dismiss(binding); });
}

} // namespace

VtBanner::Def::Def(QString titleText, QString detailText, Style style, double seconds)
    : title(std::move(titleText)), detail(std::move(detailText)), stype(style), duration(seconds) {}

QColor VtBanner::color(Style style) {
    switch (style) {
    case Style::info:
        return {67, 154, 215};
    case Style::warning:
        return detail::standardYellow();
    case Style::success:
        return detail::standardGreen();
    case Style::error:
        return detail::standardRed();
    }
    return {67, 154, 215};
}

struct BannerController::State {
    explicit State(uikit::Binding<Value> b) : binding(std::move(b)) {}
    uikit::Binding<Value> binding;
    std::uint64_t generation = 0;
    bool shown = false;
};

BannerController::BannerController(uikit::Binding<Value> def)
    : m_state(std::make_shared<State>(std::move(def))) {}

BannerController::~BannerController() {
    if (!m_state->shown) {
        return;
    }
    // The banner's view is going while it shows: its timer ends early and still dismisses.
    try {
        postDismissal(m_state->binding);
    } catch (const core::ExecutorError&) {
        // No main loop any more (the program is ending): nobody is left to see the value.
    }
}

void BannerController::changed(const Value& value) {
    // Every write starts over: a replacement gets its whole duration, a stale timer clears nothing.
    const std::uint64_t generation = ++m_state->generation;
    m_state->shown = value.has_value();
    if (!value) {
        return;
    }
    const auto delay = toDelay(value->duration);
    if (!delay) {
        return;
    }
    std::weak_ptr<State> weak = m_state;
    core::mainLoop()->postAfter(*delay, [weak, generation] {
        if (auto state = weak.lock(); state && state->generation == generation) {
            dismiss(state->binding);
        }
    });
}

void BannerController::tap() {
    postDismissal(m_state->binding);
}

class VtBannerModifier::Card : public detail::TapSurface {
public:
    Card(QWidget* parent, BannerController& controller)
        : TapSurface(parent, [&controller] { controller.tap(); }), m_title(new QLabel(this)),
          m_detail(new QLabel(this)) {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(kCardPadding, kCardPadding, kCardPadding, kCardPadding);
        auto* column = new QVBoxLayout();
        column->setSpacing(2);
        // Long text wraps within the card, as its text column spans the card's whole width.
        m_title->setWordWrap(true);
        m_detail->setWordWrap(true);
        column->addWidget(m_title);
        column->addWidget(m_detail);
        row->addLayout(column, 1);
        QPalette palette = this->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        setPalette(palette);
    }

    void display(const VtBanner::Def& def) {
        m_color = VtBanner::color(def.stype);
        QFont light = font();
        light.setPixelSize(15);
        light.setWeight(QFont::Light);
        m_title->setText(def.title);
        if (def.detail.isEmpty()) {
            m_title->setFont(light);
            m_detail->hide();
        } else {
            QFont bold = font();
            bold.setBold(true);
            m_title->setFont(bold);
            m_detail->setFont(light);
            m_detail->setText(def.detail);
            m_detail->show();
        }
        update();
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override { fillRounded(kCardRadius, m_color); }

private:
    QLabel* m_title;
    QLabel* m_detail;
    QColor m_color;
};

class VtBannerModifier::Impl : public detail::OverlayParts<BannerController, Card> {
public:
    using OverlayParts::OverlayParts;
};

VtBannerModifier::VtBannerModifier(QWidget* content,
                                   core::rx::RxState<std::optional<VtBanner::Def>> bannerDef,
                                   QWidget* parent)
    : QWidget(parent), m_content(content), m_impl(std::make_unique<Impl>(*this, bannerDef)) {
    detail::holdContent(*this, content);
    m_impl->follow(bannerDef, [this](const BannerController::Value& def) { present(def); });
}

VtBannerModifier::~VtBannerModifier() {
    m_impl->subscription.cancel();
}

QWidget* VtBannerModifier::card() const noexcept {
    return m_impl->view;
}

QRect VtBannerModifier::cardPlace() const {
    const int width = std::max(0, this->width() - 2 * kOuterPadding);
    QWidget* card = m_impl->view;
    // The labels' new text and fonts reach the nested text column only once the layout is
    // activated; a hidden card is never activated on its own, so ask before measuring.
    card->layout()->activate();
    const int height =
        card->hasHeightForWidth() ? card->heightForWidth(width) : card->sizeHint().height();
    return {kOuterPadding, kOuterPadding, width, height};
}

void VtBannerModifier::present(const std::optional<VtBanner::Def>& def) {
    Card* card = m_impl->view;
    if (!def) {
        m_impl->transition.leave(QPoint(0, -(kOuterPadding + card->height())));
        return;
    }
    card->display(*def);
    const QRect place = cardPlace();
    m_impl->transition.enter(place, QPoint(0, -(place.bottom() + 1)));
}

void VtBannerModifier::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_impl->transition.place(cardPlace());
}

VtBannerModifier* vtBanner(QWidget* content, core::rx::RxState<std::optional<VtBanner::Def>> def,
                           QWidget* parent) {
    return new VtBannerModifier(content, std::move(def), parent);
}

} // namespace components
