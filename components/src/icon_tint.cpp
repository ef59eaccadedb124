#include "icon_tint.hpp"

#include <QPainter>

namespace components::detail {

QImage tintedIcon(const QImage& icon, QSize box, const QColor& color) {
    if (icon.isNull() || box.isEmpty()) {
        return {};
    }
    QImage result = icon.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), color);
    return result;
}

} // namespace components::detail
