#include "app/cell_painter.hpp"

#include <QPainter>
#include <QRect>
#include <QString>

namespace app {

CellPainter::CellPainter(const QFont& standardFont, const GridPalette& palette, const QColor& text,
                         const QColor& tertiaryText)
    : m_standardFont(standardFont), m_appFont(appFont()), m_standardMetrics(m_standardFont),
      m_appMetrics(m_appFont), m_palette(palette), m_text(text), m_tertiaryText(tertiaryText) {}

QFont CellPainter::appFont() {
    QFont font(QString::fromLatin1(kAppFontFamily));
    font.setPixelSize(kBodyFontPixelSize);
    return font;
}

QColor CellPainter::toColor(Rgba colour) {
    return QColor(colour.red, colour.green, colour.blue, colour.alpha);
}

const QFontMetrics& CellPainter::metrics(CellFont font) const {
    return font == CellFont::din ? m_appMetrics : m_standardMetrics;
}

void CellPainter::paint(QPainter& painter, const QRect& frame, const CellStyle& style) {
    painter.fillRect(frame, toColor(m_palette.background(style.background)));
    if (style.text.empty()) {
        return;
    }
    const QFontMetrics& fontMetrics = metrics(style.font);
    const core::CGRect label =
        labelRect(core::CGRect::make(frame.x(), frame.y(), frame.width(), frame.height()),
                  fontMetrics.height());
    const QRect labelFrame(static_cast<int>(label.x()), static_cast<int>(label.y()),
                           static_cast<int>(label.size.width), static_cast<int>(label.size.height));
    if (labelFrame.width() <= 0) {
        return;
    }
    const QString text = fontMetrics.elidedText(
        QString::fromUtf8(style.text.data(), static_cast<qsizetype>(style.text.size())),
        Qt::ElideRight, labelFrame.width());

    const int font = static_cast<int>(style.font);
    if (font != m_fontInUse) {
        painter.setFont(style.font == CellFont::din ? m_appFont : m_standardFont);
        m_fontInUse = font;
    }
    const int tone = static_cast<int>(style.tone);
    if (tone != m_toneInUse) {
        painter.setPen(style.tone == CellTextTone::tertiary ? m_tertiaryText : m_text);
        m_toneInUse = tone;
    }
    const Qt::Alignment across =
        style.alignment == CellAlignment::left ? Qt::AlignLeft : Qt::AlignHCenter;
    painter.drawText(labelFrame, static_cast<int>(across | Qt::AlignVCenter) | Qt::TextSingleLine,
                     text);
}

} // namespace app
