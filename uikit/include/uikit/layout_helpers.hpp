#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace uikit {

/// Widgets laid out at least as wide as the widest natural width (`sizeHint`) any of them has
/// shown: the group keeps the largest width seen, never shrinks it, and makes it every member's
/// minimum width. Members are measured when shown, restyled or re-laid out; they may be deleted
/// freely.
class EqualWidthGroup final : public QObject {
public:
    /// An empty group; `parent` owns it.
    explicit EqualWidthGroup(QObject* parent = nullptr);

    /// Adds `widget`, measures it at once and from then on whenever its natural width may change.
    void add(QWidget& widget);
    /// The largest width seen; absent before any member has been measured.
    std::optional<int> width() const noexcept { return m_width; }
    /// Measures every member again.
    void measure();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void measure(QWidget& widget);
    void apply();

    std::vector<QPointer<QWidget>> m_members;
    std::optional<int> m_width;
};

/// Makes `widget` a member of `group` and returns it, for building layouts inline.
QWidget& sameWidth(QWidget& widget, EqualWidthGroup& group);

/// Calls `onChange` with `widget`'s frame in the coordinates of `space` (its window when null)
/// whenever that frame changes, the widget's or any ancestor's move included; the first known
/// frame is reported too, a repeated one never. The reader is a child of `widget`.
QObject* readFrame(QWidget& widget, QWidget* space, std::function<void(QRectF)> onChange);

/// Calls `onChange` with `widget`'s size whenever it changes (the first known size included).
QObject* readSize(QWidget& widget, std::function<void(QSizeF)> onChange);

} // namespace uikit
