#include "uikit/edge_insets.hpp"

#include <algorithm>
#include <cmath>

namespace uikit {
namespace {

// Rounding a double into an int is undefined beyond the int range, so odd insets are clamped
// to a size no screen reaches.
int toPixels(double value) {
    constexpr double kLimit = 1'000'000;
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(std::lround(std::clamp(value, -kLimit, kLimit)));
}

} // namespace

QMargins EdgeInsets::toQMargins(Qt::LayoutDirection direction) const {
    const int leadingPx = toPixels(leading);
    const int trailingPx = toPixels(trailing);
    const bool rightToLeft = direction == Qt::RightToLeft;
    return {rightToLeft ? trailingPx : leadingPx, toPixels(top),
            rightToLeft ? leadingPx : trailingPx, toPixels(bottom)};
}

} // namespace uikit
