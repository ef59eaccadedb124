#pragma once

#include "uikit/binding.hpp"
#include "uikit/edge_insets.hpp"

#include <QAbstractButton>
#include <QColor>
#include <QPointer>
#include <QRectF>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>
#include <vector>

namespace uikit {

/// A segmented control: a row of caller-built items, one of them selected, drawn over its own
/// background with a rounded highlight under the selected item that slides on taps. The
/// selection lives in the caller's binding; the control reads it on `refresh()` and on taps.
class VtSegmentedView : public QWidget {
public:
    /// Builds the item view for an index; the control takes ownership of what it returns.
    using ElementBuilder = std::function<QWidget*(int index)>;

    /// A control of `elementCount` items (a negative count counts as none), each built by
    /// `elementBuilder` and padded by `itemEdgeInsets`; `indexDidChange` (optional) is called
    /// with the tapped index after each tap, the selected item's included.
    VtSegmentedView(Binding<int> selectedIndex, std::function<void(int)> indexDidChange,
                    qreal cornerRadius, EdgeInsets itemEdgeInsets, QColor backgroundColor,
                    QColor activeBackground, QColor activeTitleColor, QColor inactiveTitleColor,
                    int elementCount, const ElementBuilder& elementBuilder,
                    QWidget* parent = nullptr);

    /// The bound selection, read anew.
    int selectedIndex() const { return m_selectedIndex.get(); }
    /// The binding itself.
    const Binding<int>& selectedIndexBinding() const noexcept { return m_selectedIndex; }
    /// Re-reads the binding after the caller changed it: colours and highlight move at once,
    /// without sliding.
    void refresh();

    /// The number of items.
    int elementCount() const noexcept { return static_cast<int>(m_items.size()); }
    /// The button of item `index`, or null outside the items.
    QAbstractButton* item(int index) const;
    /// Where the highlight stands now (mid-slide while it moves); empty when no item is selected.
    QRectF highlightRect() const;
    /// True while the highlight slides to a tapped item.
    bool isSliding() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF targetRect() const;
    void tap(int index);
    void applyColors();

    Binding<int> m_selectedIndex;
    std::function<void(int)> m_indexDidChange;
    qreal m_cornerRadius;
    QColor m_backgroundColor;
    QColor m_activeBackground;
    QColor m_activeTitleColor;
    QColor m_inactiveTitleColor;
    std::vector<QAbstractButton*> m_items;
    std::vector<QPointer<QWidget>> m_elements;
    int m_appliedIndex = -1;
    QVariantAnimation m_slide;
};

} // namespace uikit
