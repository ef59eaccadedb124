#include "components/floating_panel.hpp"

#include "uikit/color.hpp"
#include "uikit/symbol_icon.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSizeGrip>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <utility>

namespace components {
namespace {

constexpr int kTitleStripHeight = 28;
constexpr int kEdgeWidth = 1;

} // namespace

FloatingPanelCloseAction& FloatingPanelCloseAction::defaultValue() {
    static FloatingPanelCloseAction action;
    return action;
}

FloatingPanelContainer floatingPanelContainer(const QWidget* content) {
    if (content == nullptr) {
        return {};
    }
    return {qobject_cast<FloatingPanel*>(content->window())};
}

FloatingPanelCloseAction closeFloatingPanel(const QWidget* content) {
    const QPointer<FloatingPanel> panel = floatingPanelContainer(content).panel;
    if (panel.isNull()) {
        return FloatingPanelCloseAction::defaultValue();
    }
    return FloatingPanelCloseAction([panel] {
        if (panel) {
            panel->close();
        }
    });
}

FloatingPanel::FloatingPanel(const std::function<QWidget*()>& view, bool autoDismiss,
                             bool closeButtonVisible, const QRect& contentRect,
                             core::rx::RxState<bool> isPresented)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_autoDismiss(autoDismiss), m_isPresented(std::move(isPresented)) {
    // Everything the panel holds keeps clear of its edge, which would otherwise cover the
    // outermost pixels of whatever reaches the panel's sides.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kEdgeWidth, kEdgeWidth, kEdgeWidth, kEdgeWidth);
    column->setSpacing(0);

    auto* strip = new QWidget(this);
    strip->setFixedHeight(kTitleStripHeight);
    auto* stripRow = new QHBoxLayout(strip);
    stripRow->setContentsMargins(8, 0, 8, 0);
    if (closeButtonVisible) {
        auto* close = new QToolButton(strip);
        close->setIcon(uikit::symbolIcon("xmark"));
        close->setAccessibleName(QStringLiteral("Close"));
        close->setAutoRaise(true);
        close->setFocusPolicy(Qt::NoFocus);
        connect(close, &QToolButton::clicked, this, [this] { this->close(); });
        stripRow->addWidget(close);
        m_closeButton = close;
    }
    stripRow->addStretch(1);
    column->addWidget(strip);

    m_content = view ? view() : nullptr;
    if (m_content == nullptr) {
        m_content = new QWidget;
    }
    m_content->setParent(this);
    column->addWidget(m_content, 1);

    auto* gripRow = new QHBoxLayout;
    gripRow->setContentsMargins(0, 0, 0, 0);
    gripRow->addStretch(1);
    gripRow->addWidget(new QSizeGrip(this), 0, Qt::AlignBottom | Qt::AlignRight);
    column->addLayout(gripRow);

    setGeometry(contentRect.marginsAdded(QMargins(kEdgeWidth, kEdgeWidth, kEdgeWidth, kEdgeWidth)));
}

FloatingPanel::~FloatingPanel() = default;

void FloatingPanel::present() {
    show();
    raise();
    activateWindow();
}

void FloatingPanel::center() {
    const QScreen* screen =
        this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

bool FloatingPanel::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate) {
        resignMain();
    }
    return QWidget::event(event);
}

// The edge stands apart from whatever window lies behind the panel.
void FloatingPanel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setPen(QPen(uikit::Color::separator(palette()), kEdgeWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// A press reaches the panel only when nothing under the pointer took it (a label, empty space,
// the title strip), so the background moves the panel while every control keeps its own presses.
void FloatingPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The window manager moves the window where it can; elsewhere we follow the mouse.
    QWindow* handle = windowHandle();
    m_dragging = handle == nullptr || !handle->startSystemMove();
    m_grab = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
}

void FloatingPanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging || (event->buttons() & Qt::LeftButton) == 0) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    move(event->globalPosition().toPoint() - m_grab);
    event->accept();
}

void FloatingPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
    }
    QWidget::mouseReleaseEvent(event);
}

void FloatingPanel::resignMain() {
    if (!m_autoDismiss) {
        return;
    }
    // Activation settles after the deactivation arrives; only another window of ours taking it
    // closes the panel, so switching to another application leaves it alone.
    QTimer::singleShot(0, this, [this] {
        const QWidget* active = QApplication::activeWindow();
        if (active != nullptr && active != this && isVisible()) {
            close();
        }
    });
}

void FloatingPanel::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted() && m_isPresented.value()) {
        // Written only on a change: the presenter's own reaction closes this panel once more.
        m_isPresented.setValue(false);
    }
}

FloatingPanelModifier::FloatingPanelModifier(QWidget* host, core::rx::RxState<bool> isPresented,
                                             bool autoDissmiss, bool closeButtonVisible,
                                             const QRect& contentRect,
                                             std::function<QWidget*()> content)
    : QObject(host), m_isPresented(std::move(isPresented)), m_autoDismiss(autoDissmiss),
      m_closeButtonVisible(closeButtonVisible), m_contentRect(contentRect),
      m_content(std::move(content)) {
    host->installEventFilter(this);
    m_subscription = m_isPresented.sink(true, [this](bool presented) {
        if (!m_panel) {
            return;
        }
        if (presented) {
            m_panel->present();
        } else {
            m_panel->close();
        }
    });
    if (host->isVisible()) {
        appear();
    }
}

FloatingPanelModifier::~FloatingPanelModifier() {
    m_subscription.cancel();
    releasePanel();
}

bool FloatingPanelModifier::eventFilter(QObject* watched, QEvent* event) {
    // Only the program's own showing and hiding count: minimising the window is neither.
    if (watched == parent() && !event->spontaneous()) {
        if (event->type() == QEvent::Show) {
            appear();
        } else if (event->type() == QEvent::Hide) {
            disappear();
        }
    }
    return QObject::eventFilter(watched, event);
}

void FloatingPanelModifier::appear() {
    // A panel left from an earlier appearance would otherwise stay on screen, orphaned; it goes
    // without closing, so the presented state carries over to the new panel.
    if (FloatingPanel* old = std::exchange(m_panel, nullptr)) {
        old->hide();
        old->deleteLater();
    }
    auto* panel = new FloatingPanel(m_content, m_autoDismiss, m_closeButtonVisible, m_contentRect,
                                    m_isPresented);
    panel->setAttribute(Qt::WA_DeleteOnClose, false);
    m_panel = panel;
    panel->center();
    if (m_isPresented.value()) {
        panel->present();
    }
}

void FloatingPanelModifier::disappear() {
    releasePanel();
}

void FloatingPanelModifier::releasePanel() {
    FloatingPanel* panel = std::exchange(m_panel, nullptr);
    if (panel != nullptr) {
        panel->close();
        panel->deleteLater();
    }
}

QWidget* floatingPanel(QWidget* view, core::rx::RxState<bool> isPresented, bool autoDissmiss,
                       bool closeButtonVisible, const QRect& contentRect,
                       std::function<QWidget*()> content) {
    new FloatingPanelModifier(view, std::move(isPresented), autoDissmiss, closeButtonVisible,
                              contentRect, std::move(content));
    return view;
}

} // namespace components
