#include "app/cell_painter.hpp"

#include <QPainter>
#include <QRect>
#include <QString>

namespace app {

namespace {

// About two full screens of distinct cells (some 16 MiB); beyond it the cache starts afresh.
constexpr std::size_t kMaxImages = 2048;

} // namespace

CellPainter::CellPainter(const QFont& standardFont, const GridPalette& palette, const QColor& text,
                         const QColor& tertiaryText)
    : m_standardFont(standardFont), m_appFont(appFont()), m_standardMetrics(m_standardFont),
      m_appMetrics(m_appFont), m_palette(&palette), m_text(text), m_tertiaryText(tertiaryText) {}

void CellPainter::setAppearance(const QFont& standardFont, const GridPalette& palette,
                                const QColor& text, const QColor& tertiaryText) {
    if (standardFont != m_standardFont || text != m_text || tertiaryText != m_tertiaryText) {
        m_standardFont = standardFont;
        m_standardMetrics = QFontMetrics(m_standardFont);
        m_text = text;
        m_tertiaryText = tertiaryText;
        dropImages();
    }
    m_palette = &palette;
}

void CellPainter::dropImages() {
    m_images.clear();
    m_imageCount = 0;
}

QFont CellPainter::appFont() {
    QFont font(QString::fromLatin1(kAppFontFamily));
    font.setPixelSize(kBodyFontPixelSize);
    return font;
}

QColor CellPainter::toColor(Rgba colour) {
    return QColor(colour.red, colour.green, colour.blue, colour.alpha);
}

const QImage& CellPainter::cellImage(const QRect& frame, const CellStyle& style, qreal pixelRatio) {
    const QColor background = toColor(m_palette->background(style.background));
    const Shape shape{static_cast<int>(style.font),
                      static_cast<int>(style.tone),
                      background.rgba(),
                      frame.width(),
                      frame.height(),
                      pixelRatio};
    Images& images = m_images[shape];
    if (const auto found = images.find(style.text); found != images.end()) {
        return found->second;
    }
    if (m_imageCount >= kMaxImages) {
        for (auto& [key, entries] : m_images) {
            entries.clear();
        }
        m_imageCount = 0;
    }

    QImage image(frame.size() * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(background);
    const bool din = style.font == CellFont::din;
    const QFontMetrics& metrics = din ? m_appMetrics : m_standardMetrics;
    const core::CGRect label =
        labelRect(core::CGRect::make(0, 0, frame.width(), frame.height()), metrics.height());
    const QRect labelFrame(static_cast<int>(label.x()), static_cast<int>(label.y()),
                           static_cast<int>(label.size.width), static_cast<int>(label.size.height));
    if (labelFrame.width() > 0) {
        QPainter painter(&image);
        painter.setFont(din ? m_appFont : m_standardFont);
        painter.setPen(style.tone == CellTextTone::tertiary ? m_tertiaryText : m_text);
        const QString text = metrics.elidedText(
            QString::fromUtf8(style.text.data(), static_cast<qsizetype>(style.text.size())),
            Qt::ElideRight, labelFrame.width());
        const Qt::Alignment across =
            style.alignment == CellAlignment::left ? Qt::AlignLeft : Qt::AlignHCenter;
        painter.drawText(labelFrame,
                         static_cast<int>(across | Qt::AlignVCenter) | Qt::TextSingleLine, text);
    }
    ++m_imageCount;
    return images.emplace(std::string(style.text), std::move(image)).first->second;
}

void CellPainter::paint(QPainter& painter, const QRect& frame, const CellStyle& style) {
    if (style.text.empty()) {
        painter.fillRect(frame, toColor(m_palette->background(style.background)));
        return;
    }
    if (frame.isEmpty()) {
        return;
    }
    painter.drawImage(frame.topLeft(),
                      cellImage(frame, style, painter.device()->devicePixelRatioF()));
}

} // namespace app
