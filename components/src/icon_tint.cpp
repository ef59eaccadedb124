#include "icon_tint.hpp"

namespace components::detail {

QImage tintedIcon(const QImage& icon, QSize box, const QColor& color) {
    if (icon.isNull() || box.isEmpty()) {
        return {};
    }
    // Each pixel takes the colour and keeps its own coverage, scaled by the colour's alpha.
    QImage result = icon.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_ARGB32);
    const QColor opaque(color.red(), color.green(), color.blue());
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            QColor pixel = opaque;
            pixel.setAlphaF(result.pixelColor(x, y).alphaF() * color.alphaF());
            result.setPixelColor(x, y, pixel);
        }
    }
    return result;
}

} // namespace components::detail
