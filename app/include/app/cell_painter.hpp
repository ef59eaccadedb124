#pragma once

#include "app/cell_style.hpp"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QStaticText>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

class QPainter;
class QRect;

namespace app {

/// Draws grid cells: the background colour of the cell's style, then its text on one line,
/// cut with an ellipsis at the right when too long, in the label rectangle of the frame. Holds
/// no cell state, so a cell always shows exactly its current element; it keeps the laid-out
/// texts it drew last, since scrolling draws mostly the same texts again.
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

    /// Prepares for painting with a new `QPainter`; call before its first cell.
    void begin();

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
    using Texts = std::unordered_map<std::string, QStaticText, TextHash, std::equal_to<>>;

    const QStaticText& laidOut(CellFont font, int width, std::string_view text);

    QFont m_standardFont;
    QFont m_appFont;
    QFontMetrics m_standardMetrics;
    QFontMetrics m_appMetrics;
    const GridPalette* m_palette;
    QColor m_text;
    QColor m_tertiaryText;
    // Laid-out, elided texts by font and label width.
    std::map<std::pair<int, int>, Texts> m_texts;
    std::size_t m_textCount = 0;
    // What the painter was last set to, so runs of alike cells do not switch fonts and pens.
    int m_fontInUse = -1;
    int m_toneInUse = -1;
};

} // namespace app
