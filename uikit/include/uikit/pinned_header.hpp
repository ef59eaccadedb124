#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

namespace uikit {

/// Holds a piece of content at a fixed height of a chosen coordinate space while the widget
/// itself moves with what scrolls it: the content stands `top − minY` below this widget's origin,
/// where minY is this widget's top in the coordinate space.
///
/// Put it in a scrolled widget and give the scroll area's viewport as the coordinate space; the
/// content follows every move of this widget or of any widget between it and that space. The
/// content is built once; it is clipped to this widget, which should therefore span the area the
/// content may be held over.
class PinnedHeader : public QWidget {
    Q_OBJECT

public:
    /// Makes the content; called once, its result is owned by the header.
    using Builder = std::function<QWidget*()>;

    /// The offset of the content below the header's origin for a header whose top stands at
    /// `minY` in the coordinate space: `top − minY`.
    static int contentOffset(int top, int minY) noexcept { return top - minY; }

    /// A header holding `builder()`'s content at `top` in `coordinateSpace` (the window when
    /// null, or once that widget is gone).
    PinnedHeader(int top, QWidget* coordinateSpace, const Builder& builder,
                 QWidget* parent = nullptr);

    /// The content made by the builder.
    QWidget* content() const noexcept { return m_content; }
    /// This widget's top in the coordinate space.
    int minY() const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void watchAncestors();
    void reposition();

    int m_top;
    QPointer<QWidget> m_coordinateSpace;
    QWidget* m_content = nullptr;
    std::vector<QPointer<QWidget>> m_watched;
};

} // namespace uikit
