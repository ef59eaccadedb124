#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

namespace components::detail {

/// `icon` scaled to fit `box` (keeping its proportions) and painted in `color` wherever it is not
/// transparent, as a symbol takes the colour of the text around it.
QImage tintedIcon(const QImage& icon, QSize box, const QColor& color);

} // namespace components::detail
