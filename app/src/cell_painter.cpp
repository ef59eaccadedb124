#include "app/cell_painter.hpp"

#include <QPainter>
#include <QRect>
#include <QString>
#include <QTransform>

namespace app {

namespace {

// Enough for several screens of distinct texts; beyond it the cache starts afresh.
constexpr std::size_t kMaxTexts = 8192;

} // namespace

CellPainter::CellPainter(const QFont& standardFont, const GridPalette& palette, const QColor& text,
                         const QColor& tertiaryText)
    : m_standardFont(standardFont), m_appFont(appFont()), m_standardMetrics(m_standardFont),
      m_appMetrics(m_appFont), m_palette(&palette), m_text(text), m_tertiaryText(tertiaryText) {}

void CellPainter::setAppearance(const QFont& standardFont, const GridPalette& palette,
                                const QColor& text, const QColor& tertiaryText) {
    if (standardFont != m_standardFont) {
        m_standardFont = standardFont;
        m_standardMetrics = QFontMetrics(m_standardFont);
        m_texts.clear();
        m_textCount = 0;
    }
    m_palette = &palette;
    m_text = text;
    m_tertiaryText = tertiaryText;
}

void CellPainter::begin() {
    m_fontInUse = -1;
    m_toneInUse = -1;
}

QFont CellPainter::appFont() {
    QFont font(QString::fromLatin1(kAppFontFamily));
    font.setPixelSize(kBodyFontPixelSize);
    return font;
}

QColor CellPainter::toColor(Rgba colour) {
    return QColor(colour.red, colour.green, colour.blue, colour.alpha);
}

const QStaticText& CellPainter::laidOut(CellFont font, int width, std::string_view text) {
    Texts& texts = m_texts[{static_cast<int>(font), width}];
    if (const auto found = texts.find(text); found != texts.end()) {
        return found->second;
    }
    if (m_textCount >= kMaxTexts) {
        for (auto& [key, entries] : m_texts) {
            entries.clear();
        }
        m_textCount = 0;
    }
    const QFontMetrics& metrics = font == CellFont::din ? m_appMetrics : m_standardMetrics;
    QStaticText laid(
        metrics.elidedText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                           Qt::ElideRight, width));
    laid.setTextFormat(Qt::PlainText);
    laid.setPerformanceHint(QStaticText::AggressiveCaching);
    laid.prepare(QTransform(), font == CellFont::din ? m_appFont : m_standardFont);
    ++m_textCount;
    return texts.emplace(std::string(text), std::move(laid)).first->second;
}

void CellPainter::paint(QPainter& painter, const QRect& frame, const CellStyle& style) {
    painter.fillRect(frame, toColor(m_palette->background(style.background)));
    if (style.text.empty()) {
        return;
    }
    const QFontMetrics& metrics = style.font == CellFont::din ? m_appMetrics : m_standardMetrics;
    const core::CGRect label = labelRect(
        core::CGRect::make(frame.x(), frame.y(), frame.width(), frame.height()), metrics.height());
    const int width = static_cast<int>(label.size.width);
    if (width <= 0) {
        return;
    }
    const QStaticText& text = laidOut(style.font, width, style.text);

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
    const QSizeF size = text.size();
    const double x = style.alignment == CellAlignment::left
                         ? label.x()
                         : label.x() + (label.size.width - size.width()) / 2;
    const double y = label.y() + (label.size.height - size.height()) / 2;
    painter.drawStaticText(QPointF(x, y), text);
}

} // namespace app
