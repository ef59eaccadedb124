#include "uikit/color.hpp"

#include <QRandomGenerator>

namespace uikit {
namespace {

int byteAt(std::uint64_t hex, int shift) {
    return static_cast<int>((hex >> shift) & 0xFFU);
}

QColor kitColor(const char* name, const QPalette& palette) {
    const auto found = Color::named(QString::fromLatin1(name), moduleResourceBundle(), palette);
    if (!found) {
        // The kit's colours are compiled in: a missing one is a packaging fault.
        qFatal("unable to find the colour named %s in the UI kit's resources", name);
    }
    return *found;
}

QFont withWeight(QFont font, QFont::Weight weight) {
    font.setWeight(weight);
    return font;
}

} // namespace

QColor Color::argb(std::uint64_t hex) {
    return QColor(byteAt(hex, 16), byteAt(hex, 8), byteAt(hex, 0), byteAt(hex, 24));
}

QColor Color::rgb(std::uint64_t hex) {
    return QColor(byteAt(hex, 16), byteAt(hex, 8), byteAt(hex, 0));
}

QColor Color::random() {
    auto* generator = QRandomGenerator::global();
    return QColor::fromRgbF(static_cast<float>(generator->generateDouble()),
                            static_cast<float>(generator->generateDouble()),
                            static_cast<float>(generator->generateDouble()));
}

QColor Color::alpha(const QColor& color, double factor) {
    if (!(factor > 0)) {
        return QColor(Qt::transparent);
    }
    if (factor >= 1 || !color.isValid()) {
        return color;
    }
    QColor result = color.toRgb();
    result.setAlphaF(static_cast<float>(factor * result.alphaF()));
    return result;
}

bool Color::isDark(double red, double green, double blue) {
    return 299 * red + 587 * green + 114 * blue < 500;
}

bool Color::isDark(const QColor& color) {
    if (!color.isValid()) {
        return true;
    }
    const QColor rgb = color.toRgb();
    return isDark(rgb.redF(), rgb.greenF(), rgb.blueF());
}

double Color::darkness(const QColor& color) {
    if (!color.isValid()) {
        return 0;
    }
    const QColor rgb = color.toRgb();
    return (299 * rgb.redF() + 587 * rgb.greenF() + 114 * rgb.blueF()) / 1000.0;
}

bool Color::isDarkAppearance(const QPalette& palette) {
    // Qt 6.4 has no colour-scheme query; the window colour tells the appearance apart.
    return isDark(palette.color(QPalette::Window));
}

std::optional<QColor> Color::named(const QString& name, const ResourceBundle& bundle,
                                   const QPalette& palette) {
    return bundle.color(name, isDarkAppearance(palette));
}

QColor Color::systemFill(const QPalette& palette) {
    return kitColor("SystemFill", palette);
}
QColor Color::secondarySystemFill(const QPalette& palette) {
    return kitColor("SecondarySystemFill", palette);
}
QColor Color::tertiarySystemFill(const QPalette& palette) {
    return kitColor("TertiarySystemFill", palette);
}
QColor Color::quaternarySystemFill(const QPalette& palette) {
    return kitColor("QuaternarySystemFill", palette);
}
QColor Color::opaqueSeparator(const QPalette& palette) {
    return kitColor("OpaqueSeparator", palette);
}
QColor Color::systemBackground(const QPalette& palette) {
    return kitColor("SystemBackground", palette);
}
QColor Color::secondarySystemBackground(const QPalette& palette) {
    return kitColor("SecondarySystemBackground", palette);
}
QColor Color::tertiarySystemBackground(const QPalette& palette) {
    return kitColor("TertiarySystemBackground", palette);
}
QColor Color::systemGroupedBackground(const QPalette& palette) {
    return kitColor("SystemGroupedBackground", palette);
}
QColor Color::secondarySystemGroupedBackground(const QPalette& palette) {
    return kitColor("SecondarySystemGroupedBackground", palette);
}
QColor Color::tertiarySystemGroupedBackground(const QPalette& palette) {
    return kitColor("TertiarySystemGroupedBackground", palette);
}
QColor Color::gray2(const QPalette& palette) {
    return kitColor("SystemGray2", palette);
}
QColor Color::gray3(const QPalette& palette) {
    return kitColor("SystemGray3", palette);
}
QColor Color::gray4(const QPalette& palette) {
    return kitColor("SystemGray4", palette);
}
QColor Color::gray5(const QPalette& palette) {
    return kitColor("SystemGray5", palette);
}
QColor Color::gray6(const QPalette& palette) {
    return kitColor("SystemGray6", palette);
}

QColor Color::tertiary(const QPalette& palette) {
    return Color::alpha(palette.color(QPalette::Text), 0.26);
}
QColor Color::quaternary(const QPalette& palette) {
    return Color::alpha(palette.color(QPalette::Text), 0.10);
}
QColor Color::placeholderText(const QPalette& palette) {
    return palette.color(QPalette::PlaceholderText);
}
QColor Color::link(const QPalette& palette) {
    return palette.color(QPalette::Link);
}
QColor Color::separator(const QPalette& palette) {
    return palette.color(QPalette::Mid);
}
QColor Color::controlBackground(const QPalette& palette) {
    return palette.color(QPalette::Button);
}
QColor Color::label(const QPalette& palette) {
    return palette.color(QPalette::WindowText);
}
QColor Color::secondaryLabel(const QPalette& palette) {
    return Color::alpha(palette.color(QPalette::WindowText), 0.5);
}
QColor Color::lightGray() {
    return rgb(0xAAAAAA);
}

QFont Font::ultraLight(QFont font) {
    return withWeight(std::move(font), QFont::ExtraLight);
}
QFont Font::thin(QFont font) {
    return withWeight(std::move(font), QFont::Thin);
}
QFont Font::light(QFont font) {
    return withWeight(std::move(font), QFont::Light);
}
QFont Font::regular(QFont font) {
    return withWeight(std::move(font), QFont::Normal);
}
QFont Font::medium(QFont font) {
    return withWeight(std::move(font), QFont::Medium);
}
QFont Font::semibold(QFont font) {
    return withWeight(std::move(font), QFont::DemiBold);
}
QFont Font::bold(QFont font) {
    return withWeight(std::move(font), QFont::Bold);
}
QFont Font::heavy(QFont font) {
    return withWeight(std::move(font), QFont::ExtraBold);
}
QFont Font::black(QFont font) {
    return withWeight(std::move(font), QFont::Black);
}

} // namespace uikit
