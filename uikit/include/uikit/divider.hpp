#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

#include <functional>

namespace uikit {

/// The platform's divider: a line 1 px thick along a layout, painted in `Color::separator` of the
/// widget's palette over an optional background colour. Both colours are read from the palette
/// at each paint, so the line follows a change of palette; without a background, whatever lies
/// behind shows through a translucent separator.
class Divider final : public QWidget {
    Q_OBJECT
public:
    /// The colour behind the line for a palette, such as `Color::systemBackground`.
    using Background = std::function<QColor(const QPalette&)>;

    /// A divider running along `orientation` (a horizontal one separates rows), 1 px thick and
    /// stretching along its length, with `background` (none when empty) behind the line.
    explicit Divider(Qt::Orientation orientation, Background background = {},
                     QWidget* parent = nullptr);

    /// The direction the line runs in.
    Qt::Orientation orientation() const noexcept { return m_orientation; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation m_orientation;
    Background m_background;
};

} // namespace uikit
