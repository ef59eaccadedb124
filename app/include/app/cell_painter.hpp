#pragma once

#include "app/cell_style.hpp"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>

class QPainter;
class QRect;

namespace app {

/// Draws grid cells: the background colour of the cell's style, then its text on one line,
/// cut with an ellipsis at the right when too long, in the label rectangle of the frame. Holds
/// no cell state, so a cell always shows exactly its current element; it keeps images of the
/// cells with text it drew last, since scrolling draws mostly the same cells again.
class CellPainter {
public:
    /// A painter drawing default labels in `standardFont` and the rest in the application font at
    /// the body size, on the backgrounds of `palette` (which must outlive it), with the label
    /// colours `text` and `tertiaryText`.
    CellPainter(const QFont& standardFont, const GridPalette& palette, const QColor& text,
                const QColor& tertiaryText);

    /// Takes a new default font, palette and label colours (laid-out texts of a changed font are
    /// dropped).
    void setAppearance(const QFont& standardFont, const GridPalette& palette, const QColor& text,
                       const QColor& tertiaryText);

    /// Paints one cell of `style` into `frame` (painter coordinates).
    void paint(QPainter& painter, const QRect& frame, const CellStyle& style);

    /// The application font at the body size.
    static QFont appFont();
    /// `colour` as a Qt colour.
    static QColor toColor(Rgba colour);

private:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };
    using Images = std::unordered_map<std::string, QImage, TextHash, std::equal_to<>>;
    // What an image depends on besides its text: font, tone, background, size, pixel ratio.
    using Shape = std::tuple<int, int, QRgb, int, int, qreal>;

    const QImage& cellImage(const QRect& frame, const CellStyle& style, qreal pixelRatio);
    void dropImages();

    QFont m_standardFont;
    QFont m_appFont;
    QFontMetrics m_standardMetrics;
    QFontMetrics m_appMetrics;
    const GridPalette* m_palette;
    QColor m_text;
    QColor m_tertiaryText;
    // Whole cells with their text drawn, by shape and text.
    std::map<Shape, Images> m_images;
    std::size_t m_imageCount = 0;
};

} // namespace app
