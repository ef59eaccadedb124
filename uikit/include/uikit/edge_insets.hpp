#pragma once

#include <QMargins>

namespace uikit {

/// Insets of a rectangle's four edges in device-independent pixels, named by reading direction
/// (leading is left in a left-to-right layout).
struct EdgeInsets {
    double top = 0;
    double leading = 0;
    double bottom = 0;
    double trailing = 0;

    /// No inset on any edge.
    static constexpr EdgeInsets zero() { return {}; }
    /// `value` on all four edges.
    static constexpr EdgeInsets all(double value) { return {value, value, value, value}; }
    /// `value` on every edge but the top, which gets `top`.
    static constexpr EdgeInsets allExceptTop(double value, double top) {
        return {top, value, value, value};
    }
    /// `value` on every edge but the leading one, which gets `leading`.
    static constexpr EdgeInsets allExceptLeading(double value, double leading) {
        return {value, leading, value, value};
    }
    /// `value` on every edge but the bottom, which gets `bottom`.
    static constexpr EdgeInsets allExceptBottom(double value, double bottom) {
        return {value, value, bottom, value};
    }
    /// `value` on every edge but the trailing one, which gets `trailing`.
    static constexpr EdgeInsets allExceptTrailing(double value, double trailing) {
        return {value, value, value, trailing};
    }
    /// `value` on the leading and trailing edges only.
    static constexpr EdgeInsets horizontal(double value) { return {0, value, 0, value}; }
    /// `value` on the top and bottom edges only.
    static constexpr EdgeInsets vertical(double value) { return {value, 0, value, 0}; }
    /// `horizontalValue` leading and trailing, `verticalValue` top and bottom.
    static constexpr EdgeInsets horizontalAndVertical(double horizontalValue,
                                                      double verticalValue) {
        return {verticalValue, horizontalValue, verticalValue, horizontalValue};
    }

    /// A copy with the top edge set to `value`.
    constexpr EdgeInsets topChanged(double value) const {
        return {value, leading, bottom, trailing};
    }
    /// A copy with the leading edge set to `value`.
    constexpr EdgeInsets leadingChanged(double value) const {
        return {top, value, bottom, trailing};
    }
    /// A copy with the bottom edge set to `value`.
    constexpr EdgeInsets bottomChanged(double value) const {
        return {top, leading, value, trailing};
    }
    /// A copy with the trailing edge set to `value`.
    constexpr EdgeInsets trailingChanged(double value) const {
        return {top, leading, bottom, value};
    }

    /// Qt's margins (left, top, right, bottom, rounded to whole pixels; NaN counts as 0 and
    /// values beyond a million pixels are clamped) for a layout running in
    /// `direction`: leading is the left edge left to right and the right edge right to left.
    QMargins toQMargins(Qt::LayoutDirection direction) const;

    friend constexpr bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

} // namespace uikit
