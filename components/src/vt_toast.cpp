#include "components/vt_toast.hpp"

#include "components/delay.hpp"
#include "core/executor.hpp"
#include "icon_tint.hpp"
#include "overlay.hpp"
#include "standard_colors.hpp"
#include "state_binding.hpp"
#include "uikit/color.hpp"
#include "uikit/vt_rounded_rectangle.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace components {

namespace {

constexpr int kPadding = 12;
constexpr int kBadgeSide = 32;
constexpr int kShadowRadius = 10;
constexpr int kTitle2PixelSize = 17;

void clearToast(const uikit::Binding<ToastController::Value>& binding) {
    if (binding.get().has_value()) {
        binding.set(std::nullopt);
    }
}

QLabel* makeLabel(const QString& text, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

// The icon on a white circle, in the kind's tint, 2 pixels below the top.
QWidget* makeBadge(const QImage& icon, VtToast::Kind kind, QWidget* parent) {
    class Badge : public QWidget {
    public:
        Badge(QImage image, QWidget* owner) : QWidget(owner), m_image(std::move(image)) {
            setFixedSize(kBadgeSide, kBadgeSide + 2);
        }

    protected:
        void paintEvent(QPaintEvent* /*event*/) override {
            QPainter painter(this);
            painter.setRenderHint(QPainter::Antialiasing);
            const QRectF circle(0, 2, kBadgeSide, kBadgeSide);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::white);
            painter.drawEllipse(circle);
            const QPointF corner =
                circle.center() - QPointF(m_image.width() / 2.0, m_image.height() / 2.0);
            painter.drawImage(corner, m_image);
        }

    private:
        QImage m_image;
    };
    return new Badge(detail::tintedIcon(icon, QSize(kBadgeSide, kBadgeSide),
                                        uikit::Color::alpha(VtToast::tint(kind), 0.5)),
                     parent);
}

} // namespace

QColor VtToast::tint(Kind kind) {
    switch (kind) {
    case Kind::info:
        return detail::rgbF(0.1, 0.1, 0.15);
    case Kind::warning:
        return detail::standardYellow();
    case Kind::error:
        return detail::rgbF(0.85, 0.1, 0.1);
    }
    return detail::rgbF(0.1, 0.1, 0.15);
}

QColor VtToast::secondaryColor(Kind kind) {
    const double grey = kind == Kind::warning ? 0.2 : 0.8;
    return detail::rgbF(grey, grey, grey);
}

VtToast::Layout VtToast::layoutOf(const Toast& toast) {
    const bool hasSubTitle = toast.subTitle.has_value() && !toast.subTitle->isEmpty();
    if (toast.icon.has_value()) {
        return hasSubTitle ? Layout::badgeTitleBlock : Layout::iconTitle;
    }
    return hasSubTitle ? Layout::titleBlock : Layout::title;
}

struct ToastController::State {
    explicit State(uikit::Binding<Value> b) : binding(std::move(b)) {}
    uikit::Binding<Value> binding;
    Value last;
    std::uint64_t generation = 0;
};

ToastController::ToastController(uikit::Binding<Value> toast)
    : m_state(std::make_shared<State>(std::move(toast))) {}

void ToastController::changed(const Value& value) {
    if (value == m_state->last) {
        return;
    }
    m_state->last = value;
    // Any change makes earlier timers stale: each one may clear only the toast it was started for.
    const std::uint64_t generation = ++m_state->generation;
    if (!value) {
        return;
    }
    const auto delay = toDelay(value->duration);
    if (!delay) {
        return;
    }
    // The timer outlives the strip, as the toast's own timer does: it holds the rules' state and
    // still clears its toast after the view is gone, but never a toast it was not started for.
    core::mainLoop()->postAfter(*delay, [state = m_state, generation, shown = *value] {
        if (state->generation == generation && state->binding.get() == shown) {
            clearToast(state->binding);
        }
    });
}

void ToastController::tap() {
    core::mainLoop()->post([binding = m_state->binding] { clearToast(binding); });
}

// The drawn strip: tinted, rounded at the bottom, shadowed, its content in one of four layouts.
class VtToast::Strip : public detail::TapSurface {
public:
    Strip(QWidget* parent, ToastController& controller)
        : TapSurface(parent, [&controller] { controller.tap(); }) {}

    void display(const Toast& toast) {
        m_kind = toast.kind;
        delete layout();
        qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
        const QColor white(Qt::white);
        QFont title2 = font();
        title2.setPixelSize(kTitle2PixelSize);
        title2.setBold(true);
        const QString subTitle = toast.subTitle.value_or(QString());

        const auto titleBlock = [&] {
            auto* column = new QVBoxLayout();
            auto* title = makeLabel(toast.title, white, this);
            title->setFont(title2);
            column->addWidget(title);
            column->addWidget(makeLabel(subTitle, secondaryColor(toast.kind), this));
            return column;
        };

        QBoxLayout* box = nullptr;
        switch (layoutOf(toast)) {
        case Layout::title:
            box = new QVBoxLayout(this);
            box->addWidget(makeLabel(toast.title, white, this));
            break;
        case Layout::titleBlock:
            box = new QVBoxLayout(this);
            box->addLayout(titleBlock());
            break;
        case Layout::iconTitle: {
            box = new QHBoxLayout(this);
            auto* icon = new QLabel(this);
            icon->setPixmap(QPixmap::fromImage(
                detail::tintedIcon(*toast.icon, QSize(kBadgeSide, kBadgeSide), white)));
            box->addWidget(icon, 0, Qt::AlignVCenter);
            box->addWidget(makeLabel(toast.title, white, this), 1, Qt::AlignVCenter);
            break;
        }
        case Layout::badgeTitleBlock:
            box = new QHBoxLayout(this);
            box->setAlignment(Qt::AlignTop);
            box->addWidget(makeBadge(*toast.icon, toast.kind, this), 0, Qt::AlignTop);
            box->addLayout(titleBlock(), 1);
            break;
        }
        // The band under the strip is left for its shadow.
        box->setContentsMargins(kPadding, kPadding, kPadding, kPadding + kShadowRadius);
        // Children added to a widget already on screen stay hidden until shown, and would not
        // count in the size the overlay is placed with.
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            child->show();
        }
        update();
    }

    int heightFor(int width) const {
        if (layout() == nullptr) {
            return 0;
        }
        return layout()->hasHeightForWidth() ? layout()->heightForWidth(width)
                                             : layout()->sizeHint().height();
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPainterPath shape = uikit::VtRoundedRectangle(0, 0, 8, 8).path(QRectF(shapeRect()));
        // The shadow (black at 0.33, 10 pixels) is painted here as rings fading outwards: the
        // overlay already carries the transition's graphics effect, and Qt cannot nest them.
        QPainterPath outside;
        outside.addRect(QRectF(rect()));
        painter.setClipPath(outside.subtracted(shape));
        painter.setBrush(Qt::NoBrush);
        for (int ring = kShadowRadius; ring > 0; --ring) {
            const double weight = 1.0 - static_cast<double>(ring) / (kShadowRadius + 1);
            painter.setPen(
                QPen(QColor::fromRgbF(0, 0, 0, static_cast<float>(0.33 * weight * weight / 4)),
                     2.0 * ring));
            painter.drawPath(shape);
        }
        painter.setClipping(false);
        // The window colour stands in for the thin material under the tint. It is opaque: without
        // the material's blur, anything beneath that showed through would cross the text.
        QColor material = palette().color(QPalette::Window);
        material.setAlpha(255);
        painter.fillPath(shape, material);
        painter.fillPath(shape, uikit::Color::alpha(tint(m_kind), 0.5));
    }
    // The shadow band below the strip takes no taps.
    QRect tapArea() const override { return shapeRect(); }

private:
    QRect shapeRect() const { return rect().adjusted(0, 0, 0, -kShadowRadius); }

    Kind m_kind = Kind::info;
};

class VtToast::Impl : public detail::OverlayParts<ToastController, Strip> {
public:
    using OverlayParts::OverlayParts;
};

VtToast::VtToast(QWidget* content, core::rx::RxState<std::optional<Toast>> toast,
                 SafeAreaDisplay safeAreaDisplay, QWidget* parent)
    : QWidget(parent), m_content(content), m_safeAreaDisplay(safeAreaDisplay),
      m_impl(std::make_unique<Impl>(*this, toast)) {
    detail::holdContent(*this, content);
    m_impl->follow(toast, [this](const std::optional<Toast>& value) { present(value); });
}

VtToast::~VtToast() {
    m_impl->subscription.cancel();
}

QWidget* VtToast::strip() const noexcept {
    return m_impl->view;
}

QRect VtToast::stripPlace() const {
    return {0, 0, width(), m_impl->view->heightFor(width())};
}

void VtToast::present(const std::optional<Toast>& toast) {
    if (!toast) {
        m_impl->transition.leave(QPoint(0, -m_impl->view->height()));
        return;
    }
    m_impl->view->display(*toast);
    const QRect place = stripPlace();
    m_impl->transition.enter(place, QPoint(0, -place.height()));
}

void VtToast::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_impl->transition.place(stripPlace());
}

VtToast* vtToast(QWidget* content, core::rx::RxState<std::optional<VtToast::Toast>> toast,
                 VtToast::SafeAreaDisplay safeArea, QWidget* parent) {
    return new VtToast(content, std::move(toast), safeArea, parent);
}

} // namespace components
