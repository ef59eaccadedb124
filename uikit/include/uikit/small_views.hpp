#pragma once

#include "uikit/image_utilities.hpp"

#include <QAbstractButton>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

namespace uikit {

/// A button whose face is a view rebuilt from its pressed state: built with false, again with
/// true while the button is held down and with false once it is let go. The button draws
/// nothing of its own; `action` runs on each click.
class VtPressSensitiveButton final : public QAbstractButton {
public:
    /// Builds the face for a pressed state; the button takes ownership of what it returns.
    using Label = std::function<QWidget*(bool isPressed)>;

    /// A button running `action` on clicks, its face built by `label`.
    VtPressSensitiveButton(std::function<void()> action, Label label, QWidget* parent = nullptr);

    /// The face currently shown (null when the builder gave none).
    QWidget* labelView() const { return m_face; }
    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuild(bool isPressed);

    Label m_label;
    QPointer<QWidget> m_face;
    bool m_builtPressed = false;
};

/// What a stretchy header draws for its position: the image's vertical offset and drawn height
/// in the header's coordinates, and its opacity.
struct StretchyHeaderGeometry {
    qreal offsetY = 0;
    qreal drawHeight = 0;
    qreal opacity = 1;
    friend bool operator==(const StretchyHeaderGeometry&, const StretchyHeaderGeometry&) = default;
};

/// The drawing of a header of `height` whose top stands at `minY` in its window: pulled below
/// the top it grows upwards to reach it; pushed above it keeps its size and fades linearly,
/// fully transparent once it has moved up by its height.
StretchyHeaderGeometry stretchyHeaderGeometry(qreal minY, qreal height);

/// A header image of a fixed resting height that stretches when pulled below its window's top
/// and fades when pushed above it, filling its width with the image's aspect ratio kept. Only
/// the part inside the header's own rectangle can be seen.
class VtStretchyImageHeaderView final : public QWidget {
public:
    /// A header showing `image` at `height`; `yOffsetDidChanged` (optional) hears the header's
    /// top in window coordinates when first placed and on each move or resize of the header or
    /// move of an ancestor.
    VtStretchyImageHeaderView(QPixmap image, qreal height,
                              std::function<void(qreal)> yOffsetDidChanged = {},
                              QWidget* parent = nullptr);

    /// The header's top in its window, as last measured.
    qreal minY() const noexcept { return m_minY; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void measure();

    QPixmap m_image;
    qreal m_height;
    std::function<void(qreal)> m_yOffsetDidChanged;
    qreal m_minY = 0;
};

/// A view that builds its content only when it is first shown, never before and never again.
class VtLazyView final : public QWidget {
public:
    /// Builds the content; the view takes ownership of what it returns.
    using Builder = std::function<QWidget*()>;

    /// A view whose content `build` makes on the first show.
    explicit VtLazyView(Builder build, QWidget* parent = nullptr);

    /// The content, null until the first show.
    QWidget* content() const { return m_content; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    Builder m_build;
    QPointer<QWidget> m_content;
    bool m_built = false;
};

} // namespace uikit
