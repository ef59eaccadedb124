#include "components/vt_hud.hpp"

#include "overlay.hpp"
#include "state_binding.hpp"

#include <QGraphicsBlurEffect>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <utility>

namespace components {

namespace {

// The space the default padding puts around the cancel button, and under it when no bottom
// padding is given.
constexpr int kDefaultPadding = 16;

int toPixels(double value) {
    if (!std::isfinite(value) || value <= 0) {
        return 0;
    }
    return static_cast<int>(std::lround(std::min(value, 1e6)));
}

} // namespace

std::shared_ptr<VtHudManager> VtHudManager::create() {
    return std::shared_ptr<VtHudManager>(new VtHudManager());
}

std::shared_ptr<VtHudSession> VtHudManager::newSession(bool cancellable) {
    if (m_session) {
        return nullptr;
    }
    m_session = std::make_shared<VtHudSession>(shared_from_this(), cancellable);
    if (!m_presented.value()) {
        m_presented.setValue(true);
    }
    return m_session;
}

VtHudSession::VtHudSession(const std::shared_ptr<VtHudManager>& manager, bool cancellable)
    : m_manager(manager), m_cancellable(cancellable) {}

core::rx::Publisher<VtHudEvent> VtHudSession::eventPublisher() const {
    return m_eventSubject.subject().publisher();
}

std::shared_ptr<VtHudManager> VtHudSession::owningManager() const {
    auto manager = m_manager.lock();
    if (manager && manager->m_session.get() == this) {
        return manager;
    }
    return nullptr;
}

void VtHudSession::start() {
    if (m_presented) {
        return;
    }
    m_eventSubject.send(VtHudEvent::willPresent());
    if (auto manager = owningManager(); manager && !manager->m_presented.value()) {
        manager->m_presented.setValue(true);
    }
    m_presented = true;
    m_eventSubject.send(VtHudEvent::didPresented());
}

void VtHudSession::close() {
    const bool wasPresented = m_presented;
    if (wasPresented) {
        m_eventSubject.send(VtHudEvent::willDismiss(false));
    }
    if (auto manager = owningManager(); manager && manager->m_presented.value()) {
        manager->m_presented.setValue(false);
    }
    if (wasPresented) {
        m_presented = false;
        m_eventSubject.send(VtHudEvent::didDismissed(false));
    }
    if (auto manager = owningManager()) {
        // Keeps this session alive until the call returns, whoever else held it.
        const std::shared_ptr<VtHudSession> self = std::exchange(manager->m_session, nullptr);
    }
}

VtHudCancelButton::VtHudCancelButton(std::function<void()> onCancel, std::function<QString()> label,
                                     double padding)
    : didCancelled(std::move(onCancel)), cancelButtonText(std::move(label)),
      bottomPadding(padding) {}

VtDefaultSpinner::VtDefaultSpinner(double size, QWidget* parent)
    : QWidget(parent), m_size(size), m_turn(new QVariantAnimation(this)) {
    m_turn->setStartValue(0);
    m_turn->setEndValue(360);
    m_turn->setDuration(1000);
    m_turn->setLoopCount(-1);
    connect(m_turn, &QVariantAnimation::valueChanged, this, [this](const QVariant& angle) {
        m_angle = angle.toInt();
        update();
    });
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QSize VtDefaultSpinner::sizeHint() const {
    const int side = toPixels(m_size);
    return {side, side};
}

void VtDefaultSpinner::paintEvent(QPaintEvent* /*event*/) {
    const qreal side = std::min(width(), height());
    if (side < 4) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = std::max<qreal>(2.0, side / 10.0);
    painter.setPen(QPen(Qt::white, pen, Qt::SolidLine, Qt::RoundCap));
    const QRectF square((width() - side) / 2 + pen / 2, (height() - side) / 2 + pen / 2, side - pen,
                        side - pen);
    // Qt measures arcs in sixteenths of a degree, counter-clockwise.
    painter.drawArc(square, -m_angle * 16, 270 * 16);
}

void VtDefaultSpinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_spining = true;
    m_turn->start();
}

void VtDefaultSpinner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_spining = false;
    m_turn->stop();
}

class VtHudModifier::Layer : public QWidget {
public:
    Layer(QWidget* parent, double spinnerSize, std::optional<VtHudCancelButton> cancellation,
          std::function<void()> cancel)
        : QWidget(parent), spinner(new VtDefaultSpinner(spinnerSize, this)),
          m_cancellation(std::move(cancellation)) {
        if (m_cancellation) {
            button = new QPushButton(this);
            if (m_cancellation->cancelButtonText) {
                button->setText(m_cancellation->cancelButtonText());
            }
            connect(button, &QPushButton::clicked, this, std::move(cancel));
        }
    }

    const std::optional<VtHudCancelButton>& cancellation() const { return m_cancellation; }

    VtDefaultSpinner* spinner;
    QPushButton* button = nullptr;

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0, 0, 0, 191)); // black at 0.75
    }
    // The layer takes every click so none reaches the content beneath.
    void mousePressEvent(QMouseEvent* /*event*/) override {}
    void mouseReleaseEvent(QMouseEvent* /*event*/) override {}

    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        const QSize side = spinner->sizeHint();
        spinner->setGeometry(
            QRect(QPoint((width() - side.width()) / 2, (height() - side.height()) / 2), side));
        if (button != nullptr) {
            const QSize size = button->sizeHint();
            const int bottom = kDefaultPadding + (m_cancellation->bottomPadding
                                                      ? toPixels(*m_cancellation->bottomPadding)
                                                      : kDefaultPadding);
            button->setGeometry((width() - size.width()) / 2, height() - bottom - size.height(),
                                size.width(), size.height());
        }
    }

private:
    std::optional<VtHudCancelButton> m_cancellation;
};

VtHudModifier::VtHudModifier(QWidget* content, core::rx::RxState<bool> presented,
                             double spinnerSize, std::optional<double> blurryRadius,
                             std::optional<VtHudCancelButton> manualCancellation, QWidget* parent)
    : QWidget(parent), m_content(content), m_presented(detail::bindingOver(presented)),
      m_blurryRadius(blurryRadius) {
    detail::holdContent(*this, content);
    m_layer = new Layer(this, spinnerSize, std::move(manualCancellation), [this] {
        // Hide first, then tell the caller; the caller's session stays open until it closes it.
        m_presented.set(false);
        const auto& cancellation = m_layer->cancellation();
        if (cancellation && cancellation->didCancelled) {
            cancellation->didCancelled();
        }
    });
    m_layer->hide();
    m_subscription = presented.sink(false, [this](bool value) { present(value); });
}

VtHudModifier::~VtHudModifier() {
    m_subscription.cancel();
}

QWidget* VtHudModifier::layer() const noexcept {
    return m_layer;
}

QPushButton* VtHudModifier::cancelButton() const noexcept {
    return m_layer->button;
}

VtDefaultSpinner* VtHudModifier::spinner() const noexcept {
    return m_layer->spinner;
}

void VtHudModifier::present(bool presented) {
    if (presented == m_shown) {
        return;
    }
    m_shown = presented;
    if (presented) {
        if (m_content != nullptr) {
            m_contentWasEnabled = m_content->isEnabled();
            m_content->setEnabled(false);
            // A widget carries one effect, and installing another would delete the owner's;
            // content that has its own stays unblurred under the veil.
            if (m_blurryRadius && std::isfinite(*m_blurryRadius) && *m_blurryRadius > 0 &&
                m_content->graphicsEffect() == nullptr) {
                m_blur = new QGraphicsBlurEffect(m_content);
                m_blur->setBlurRadius(*m_blurryRadius);
                m_content->setGraphicsEffect(m_blur);
            }
        }
        m_layer->setGeometry(rect());
        m_layer->show();
        m_layer->raise();
        return;
    }
    m_layer->hide();
    if (m_content != nullptr) {
        if (!m_blur.isNull() && m_content->graphicsEffect() == m_blur) {
            m_content->setGraphicsEffect(nullptr);
        }
        m_content->setEnabled(m_contentWasEnabled);
    }
}

void VtHudModifier::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_layer->setGeometry(rect());
}

VtHudModifier* vtHud(QWidget* content, core::rx::RxState<bool> presented, double spinnerSize,
                     std::optional<double> blurryRadius,
                     std::optional<VtHudCancelButton> cancellation, QWidget* parent) {
    return new VtHudModifier(content, std::move(presented), spinnerSize, blurryRadius,
                             std::move(cancellation), parent);
}

} // namespace components
