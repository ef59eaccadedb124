#pragma once

#include <QColor>

namespace components::detail {

// The desktop's standard accent colours that the components tint with. Compiled in, so a theme
// without them cannot leave a card uncoloured.

/// The standard yellow.
inline QColor standardYellow() {
    return QColor(255, 204, 0);
}
/// The standard green.
inline QColor standardGreen() {
    return QColor(40, 205, 65);
}
/// The standard red.
inline QColor standardRed() {
    return QColor(255, 59, 48);
}

/// An opaque sRGB colour from components in 0 ... 1.
inline QColor rgbF(double red, double green, double blue) {
    return QColor::fromRgbF(static_cast<float>(red), static_cast<float>(green),
                            static_cast<float>(blue));
}

} // namespace components::detail
