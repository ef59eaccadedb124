#pragma once

#include "app/cell_style.hpp"

#include <QColor>
#include <QFont>
#include <QFontMetrics>

class QPainter;
class QRect;

namespace app {

/// Draws grid cells: the background colour of the cell's style, then its text on one line,
/// cut with an ellipsis at the right when too long, in the label rectangle of the frame. Holds
/// no cell state, so a cell always shows exactly its current element.
class CellPainter {
public:
    /// A painter drawing default labels in `standardFont` and the rest in the application font at
    /// the body size, on the backgrounds of `palette` (which must outlive it), with the label
    /// colours `text` and `tertiaryText`.
    CellPainter(const QFont& standardFont, const GridPalette& palette, const QColor& text,
                const QColor& tertiaryText);

    /// Paints one cell of `style` into `frame` (painter coordinates).
    void paint(QPainter& painter, const QRect& frame, const CellStyle& style);

    /// The application font at the body size.
    static QFont appFont();
    /// `colour` as a Qt colour.
    static QColor toColor(Rgba colour);

private:
    const QFontMetrics& metrics(CellFont font) const;

    QFont m_standardFont;
    QFont m_appFont;
    QFontMetrics m_standardMetrics;
    QFontMetrics m_appMetrics;
    const GridPalette& m_palette;
    QColor m_text;
    QColor m_tertiaryText;
    // What the painter was last set to, so runs of alike cells do not switch fonts and pens.
    int m_fontInUse = -1;
    int m_toneInUse = -1;
};

} // namespace app
