#include "uikit/vt_segmented_view.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace uikit {

namespace {

// An item: a button whose whole face is the caller's view; it draws nothing of its own.
class SegmentButton final : public QAbstractButton {
public:
    SegmentButton(QWidget* element, const QMargins& margins, QWidget* parent)
        : QAbstractButton(parent) {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(margins);
        layout->setSpacing(0);
        if (element != nullptr) {
            // Clicks anywhere on the view reach the button.
            element->setAttribute(Qt::WA_TransparentForMouseEvents, true);
            layout->addWidget(element);
        }
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {}
    QSize sizeHint() const override { return layout()->sizeHint(); }
};

void setForeground(QWidget& widget, const QColor& color) {
    QPalette palette = widget.palette();
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, color);
    }
    widget.setPalette(palette);
}

} // namespace

VtSegmentedView::VtSegmentedView(Binding<int> selectedIndex,
                                 std::function<void(int)> indexDidChange, qreal cornerRadius,
                                 EdgeInsets itemEdgeInsets, QColor backgroundColor,
                                 QColor activeBackground, QColor activeTitleColor,
                                 QColor inactiveTitleColor, int elementCount,
                                 const ElementBuilder& elementBuilder, QWidget* parent)
    : QWidget(parent), m_selectedIndex(std::move(selectedIndex)),
      m_indexDidChange(std::move(indexDidChange)), m_cornerRadius(cornerRadius),
      m_backgroundColor(std::move(backgroundColor)),
      m_activeBackground(std::move(activeBackground)),
      m_activeTitleColor(std::move(activeTitleColor)),
      m_inactiveTitleColor(std::move(inactiveTitleColor)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    const QMargins margins = itemEdgeInsets.toQMargins(layoutDirection());
    for (int index = 0; index < std::max(elementCount, 0); ++index) {
        QWidget* element = elementBuilder ? elementBuilder(index) : nullptr;
        auto* button = new SegmentButton(element, margins, this);
        row->addWidget(button, 0, Qt::AlignVCenter);
        connect(button, &QAbstractButton::clicked, this, [this, index] { tap(index); });
        m_items.push_back(button);
        m_elements.emplace_back(element);
    }
    m_slide.setDuration(300);
    m_slide.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_slide, &QVariantAnimation::valueChanged, this, [this] { update(); });
    connect(&m_slide, &QVariantAnimation::finished, this, [this] { update(); });
    refresh();
}

QAbstractButton* VtSegmentedView::item(int index) const {
    if (index < 0 || index >= elementCount()) {
        return nullptr;
    }
    return m_items[static_cast<std::size_t>(index)];
}

void VtSegmentedView::refresh() {
    m_slide.stop();
    m_appliedIndex = m_selectedIndex.get();
    applyColors();
    update();
}

void VtSegmentedView::applyColors() {
    for (int index = 0; index < elementCount(); ++index) {
        if (QWidget* element = m_elements[static_cast<std::size_t>(index)]) {
            setForeground(*element,
                          index == m_appliedIndex ? m_activeTitleColor : m_inactiveTitleColor);
        }
    }
}

QRectF VtSegmentedView::targetRect() const {
    const QAbstractButton* selected = item(m_appliedIndex);
    if (selected == nullptr) {
        return {};
    }
    // The highlight takes the item's size and horizontal place and stands on the bottom edge.
    const QRect bounds = selected->geometry();
    return {static_cast<qreal>(bounds.x()), static_cast<qreal>(height() - bounds.height()),
            static_cast<qreal>(bounds.width()), static_cast<qreal>(bounds.height())};
}

QRectF VtSegmentedView::highlightRect() const {
    if (isSliding()) {
        return m_slide.currentValue().toRectF();
    }
    return targetRect();
}

bool VtSegmentedView::isSliding() const {
    return m_slide.state() == QAbstractAnimation::Running;
}

void VtSegmentedView::tap(int index) {
    const QRectF from = highlightRect();
    m_selectedIndex.set(index);
    m_slide.stop();
    m_appliedIndex = m_selectedIndex.get();
    applyColors();
    const QRectF to = targetRect();
    if (!from.isEmpty() && !to.isEmpty() && from != to) {
        m_slide.setStartValue(from);
        m_slide.setEndValue(to);
        m_slide.start();
    }
    update();
    if (m_indexDidChange) {
        m_indexDidChange(index);
    }
}

void VtSegmentedView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
    painter.setClipPath(outline);
    painter.fillRect(rect(), m_backgroundColor);
    const QRectF highlight = highlightRect();
    if (!highlight.isEmpty()) {
        QPainterPath shape;
        shape.addRoundedRect(highlight, m_cornerRadius, m_cornerRadius);
        painter.fillPath(shape, m_activeBackground);
    }
}

} // namespace uikit
