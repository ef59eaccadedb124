#include "components/floating_panel_expandable_layout.hpp"

#include "components/floating_panel.hpp"

#include "uikit/divider.hpp"
#include "uikit/symbol_icon.hpp"

#include <QHBoxLayout>
#include <QPropertyAnimation>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace components {
namespace {

constexpr int kToolbarPadding = 16;
constexpr int kResizeMilliseconds = 550;

} // namespace

QRectF ExpandableWidthRule::toggled(const QRectF& frame, double& expandedWidth) const noexcept {
    const double width = frame.width();
    double newWidth = 0;
    if (isExpanded(width)) {
        expandedWidth = width;
        newWidth = sidebarWidth;
    } else {
        newWidth = std::max(totalWidth, expandedWidth);
    }
    return {frame.center().x() - 0.5 * newWidth, frame.y(), newWidth, frame.height()};
}

FloatingPanelExpandableLayout::FloatingPanelExpandableLayout(QWidget* toolbar, QWidget* sidebar,
                                                             QWidget* content, QWidget* parent)
    : QWidget(parent), m_sidebar(sidebar), m_content(content) {
    setMinimumSize(static_cast<int>(m_rule.sidebarWidth), static_cast<int>(m_minHeight));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* toolbarRow = new QHBoxLayout;
    toolbarRow->setContentsMargins(kToolbarPadding, kToolbarPadding, kToolbarPadding,
                                   kToolbarPadding);
    if (toolbar != nullptr) {
        toolbarRow->addWidget(toolbar);
    }
    toolbarRow->addStretch(1);
    m_toggle = new QToolButton(this);
    m_toggle->setAutoRaise(true);
    QPalette secondary = m_toggle->palette();
    secondary.setColor(QPalette::ButtonText, secondary.color(QPalette::PlaceholderText));
    m_toggle->setPalette(secondary);
    connect(m_toggle, &QToolButton::clicked, this, [this] { toggle(); });
    toolbarRow->addWidget(m_toggle);
    column->addLayout(toolbarRow);
    column->addWidget(new uikit::Divider(Qt::Horizontal, {}, this));

    auto* mainRow = new QHBoxLayout;
    mainRow->setContentsMargins(0, 0, 0, 0);
    mainRow->setSpacing(0);
    if (m_sidebar == nullptr) {
        m_sidebar = new QWidget;
    }
    m_sidebar->setParent(this);
    mainRow->addWidget(m_sidebar, 0, Qt::AlignVCenter);
    m_contentColumn = new QWidget(this);
    auto* contentRow = new QHBoxLayout(m_contentColumn);
    contentRow->setContentsMargins(0, 0, 0, 0);
    contentRow->setSpacing(0);
    contentRow->addWidget(new uikit::Divider(Qt::Vertical, {}, m_contentColumn));
    if (m_content == nullptr) {
        m_content = new QWidget;
    }
    m_content->setParent(m_contentColumn);
    // The content is framed to exactly the room right of the divider: its own size hints must
    // neither push it past the panel's edge nor leave a gap.
    m_content->setMinimumWidth(0);
    m_content->setMaximumWidth(QWIDGETSIZE_MAX);
    QSizePolicy framed = m_content->sizePolicy();
    framed.setHorizontalPolicy(QSizePolicy::Ignored);
    m_content->setSizePolicy(framed);
    contentRow->addWidget(m_content, 1);
    mainRow->addWidget(m_contentColumn, 1);
    column->addLayout(mainRow, 1);

    follow(width());
}

bool FloatingPanelExpandableLayout::isExpanded() const noexcept {
    return m_rule.isExpanded(width());
}

QString FloatingPanelExpandableLayout::toggleSymbol() const {
    return isExpanded() ? QStringLiteral("menubar.rectangle")
                        : QStringLiteral("uiwindow.split.2x1");
}

void FloatingPanelExpandableLayout::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    follow(event->size().width());
}

void FloatingPanelExpandableLayout::follow(int width) {
    // Whether the content shows is decided by the width alone, never stored.
    const bool expanded = m_rule.isExpanded(width);
    const int sidebar = static_cast<int>(m_rule.sidebarWidth);
    m_sidebar->setMinimumWidth(sidebar);
    m_sidebar->setMaximumWidth(expanded ? sidebar : static_cast<int>(m_rule.totalWidth));
    m_contentColumn->setVisible(expanded);
    m_toggle->setIcon(uikit::symbolIcon(toggleSymbol().toStdString()));
    m_toggle->setIconSize(QSize(18, 18));
}

void FloatingPanelExpandableLayout::toggle() {
    FloatingPanel* panel = floatingPanelContainer(this).panel.data();
    if (panel == nullptr) {
        return;
    }
    // The widths are the layout's own; what the panel has round it (its edge) stays as it is,
    // half on either side, so the panel keeps its centre.
    const QRectF frame(panel->geometry());
    const double around = (frame.width() - width()) / 2;
    const QRectF target = m_rule.toggled(frame.adjusted(around, 0, -around, 0), m_expandedWidth)
                              .adjusted(-around, 0, around, 0);
    auto* animation = new QPropertyAnimation(panel, "geometry", panel);
    animation->setDuration(kResizeMilliseconds);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    animation->setEndValue(target.toRect());
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace components
