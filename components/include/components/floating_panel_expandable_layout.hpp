#pragma once

#include <QRectF>
#include <QWidget>

#include <optional>

class QToolButton;

namespace components {

/// The width rule of the expandable panel layout: expanded from `totalWidth` up, collapsing to
/// the sidebar's width and expanding back to the width it had.
struct ExpandableWidthRule {
    double sidebarWidth = 256;
    double totalWidth = 512;

    /// Whether a layout `width` wide shows its content column.
    bool isExpanded(double width) const noexcept { return width >= totalWidth; }
    /// The layout's frame after a toggle from `frame`: collapsing stores the width in
    /// `expandedWidth` and narrows to the sidebar; expanding widens to the larger of `totalWidth`
    /// and `expandedWidth`. The horizontal centre, the top and the height stay.
    QRectF toggled(const QRectF& frame, double& expandedWidth) const noexcept;
};

/// A floating panel's content: a toolbar row with a sidebar toggle, a divider, then the sidebar
/// and, while the layout is at least `totalWidth` wide, the content column. The toggle resizes the
/// hosting panel (animated) so that the layout takes the rule's width; outside a panel it does
/// nothing.
class FloatingPanelExpandableLayout : public QWidget {
    Q_OBJECT
public:
    /// Takes ownership of the three widgets.
    FloatingPanelExpandableLayout(QWidget* toolbar, QWidget* sidebar, QWidget* content,
                                  QWidget* parent = nullptr);

    /// The width rule (sidebar 256, expanded from 512).
    const ExpandableWidthRule& rule() const noexcept { return m_rule; }
    /// The width the layout returns to when expanded again.
    double expandedWidth() const noexcept { return m_expandedWidth; }
    /// Whether the content column shows.
    bool isExpanded() const noexcept;
    /// The symbol the toggle shows: "menubar.rectangle" expanded, "uiwindow.split.2x1" collapsed.
    QString toggleSymbol() const;
    /// The toolbar's toggle button.
    QToolButton* toggleButton() const noexcept { return m_toggle; }

    /// Collapses or expands the hosting panel, as the toggle button does.
    void toggle();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void follow(int width);

    ExpandableWidthRule m_rule;
    double m_expandedWidth = 512;
    double m_minHeight = 512;
    QToolButton* m_toggle = nullptr;
    QWidget* m_sidebar = nullptr;
    QWidget* m_contentColumn = nullptr;
    QWidget* m_content = nullptr;
};

} // namespace components
