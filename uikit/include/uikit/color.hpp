#pragma once

#include "core/user_default.hpp"
#include "uikit/resource_bundle.hpp"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QPalette>

#include <cstdint>
#include <optional>
#include <string>

namespace uikit {

/// The kit's colour vocabulary: packed-integer constructors, opacity and brightness measures, the
/// kit's named colours (light or dark by the palette's window colour) and the system colours
/// taken from a `QPalette`. Every colour is computed anew on each call.
struct Color {
    /// The colour of a packed 0xAARRGGBB value; bits above 31 are ignored.
    static QColor argb(std::uint64_t hex);
    /// The opaque colour of a packed 0xRRGGBB value; bits above 23 are ignored.
    static QColor rgb(std::uint64_t hex);
    /// A new opaque colour with uniformly random red, green and blue.
    static QColor random();
    /// `color` with its opacity scaled by `factor`: transparent when `factor` is not above 0 (NaN
    /// included), unchanged when it is 1 or more or when `color` is invalid.
    static QColor alpha(const QColor& color, double factor);
    /// True when 299 red + 587 green + 114 blue (components 0 to 1) is below 500.
    static bool isDark(double red, double green, double blue);
    /// The same test on `color`'s RGB components; an invalid colour counts as dark.
    static bool isDark(const QColor& color);
    /// The weighted brightness of `color` from 0 (black) to 1 (white); larger is lighter. An
    /// invalid colour gives 0.
    static double darkness(const QColor& color);
    /// True when `palette` is a dark appearance (its window colour is dark).
    static bool isDarkAppearance(const QPalette& palette);

    /// The colour named `name` in `bundle` for `palette`'s appearance, or nothing when missing.
    static std::optional<QColor> named(const QString& name,
                                       const ResourceBundle& bundle = mainResourceBundle(),
                                       const QPalette& palette = QGuiApplication::palette());

    // The kit's named colours; each must be present in its bundle (the process stops otherwise).

    /// The kit colour "SystemFill".
    static QColor systemFill(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "SecondarySystemFill".
    static QColor secondarySystemFill(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "TertiarySystemFill".
    static QColor tertiarySystemFill(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "QuaternarySystemFill".
    static QColor quaternarySystemFill(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "OpaqueSeparator".
    static QColor opaqueSeparator(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "SystemBackground".
    static QColor systemBackground(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "SecondarySystemBackground".
    static QColor secondarySystemBackground(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "TertiarySystemBackground".
    static QColor tertiarySystemBackground(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "SystemGroupedBackground".
    static QColor systemGroupedBackground(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "SecondarySystemGroupedBackground".
    static QColor
    secondarySystemGroupedBackground(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "TertiarySystemGroupedBackground".
    static QColor
    tertiarySystemGroupedBackground(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "SystemGray2" (also `systemGray2`).
    static QColor gray2(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "SystemGray3" (also `systemGray3`).
    static QColor gray3(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "SystemGray4" (also `systemGray4`).
    static QColor gray4(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "SystemGray5" (also `systemGray5`).
    static QColor gray5(const QPalette& palette = QGuiApplication::palette());
    /// The kit colour "SystemGray6" (also `systemGray6`).
    static QColor gray6(const QPalette& palette = QGuiApplication::palette());
    /// The same as `gray2`.
    static QColor systemGray2(const QPalette& palette = QGuiApplication::palette()) {
        return gray2(palette);
    }
    /// The same as `gray3`.
    static QColor systemGray3(const QPalette& palette = QGuiApplication::palette()) {
        return gray3(palette);
    }
    /// The same as `gray4`.
    static QColor systemGray4(const QPalette& palette = QGuiApplication::palette()) {
        return gray4(palette);
    }
    /// The same as `gray5`.
    static QColor systemGray5(const QPalette& palette = QGuiApplication::palette()) {
        return gray5(palette);
    }
    /// The same as `gray6`.
    static QColor systemGray6(const QPalette& palette = QGuiApplication::palette()) {
        return gray6(palette);
    }

    // System colours, from the palette.

    /// The text colour at 26 % of its opacity (also `tertiaryLabel`).
    static QColor tertiary(const QPalette& palette = QGuiApplication::palette());
    /// The text colour at 10 % of its opacity (also `quaternaryLabel`).
    static QColor quaternary(const QPalette& palette = QGuiApplication::palette());
    /// The same as `tertiary`.
    static QColor tertiaryLabel(const QPalette& palette = QGuiApplication::palette()) {
        return tertiary(palette);
    }
    /// The same as `quaternary`.
    static QColor quaternaryLabel(const QPalette& palette = QGuiApplication::palette()) {
        return quaternary(palette);
    }
    /// The palette's placeholder-text colour.
    static QColor placeholderText(const QPalette& palette = QGuiApplication::palette());
    /// The palette's link colour.
    static QColor link(const QPalette& palette = QGuiApplication::palette());
    /// The palette's mid colour, which Qt styles draw separators with.
    static QColor separator(const QPalette& palette = QGuiApplication::palette());
    /// The palette's button colour (the face of a control, not a field's background).
    static QColor controlBackground(const QPalette& palette = QGuiApplication::palette());
    /// The palette's window-text colour.
    static QColor label(const QPalette& palette = QGuiApplication::palette());
    /// The window-text colour at 50 % of its opacity.
    static QColor secondaryLabel(const QPalette& palette = QGuiApplication::palette());
    /// The fixed light grey #AAAAAA.
    static QColor lightGray();
};

/// Enumerations of colour names kept in a resource bundle (their raw value is the name).
template <class E>
concept VtNamedColor = core::StringRawRepresentable<E>;
/// Enumerations of image names kept in a resource bundle (their raw value is the name).
template <class E>
concept VtImageAsset = core::StringRawRepresentable<E>;
/// Enumerations of font family names (their raw value is the family).
template <class E>
concept VtFontAsset = core::StringRawRepresentable<E>;

/// The colour `asset` names in `bundle` for `palette`'s appearance, or nothing when missing.
template <VtNamedColor E>
std::optional<QColor> uiColor(const E& asset, const ResourceBundle& bundle = mainResourceBundle(),
                              const QPalette& palette = QGuiApplication::palette()) {
    return Color::named(QString::fromStdString(core::RawValueTraits<E>::rawValue(asset)), bundle,
                        palette);
}

/// The colour `asset` names in `bundle` for `palette`'s appearance; invalid when the bundle lacks
/// it.
template <VtNamedColor E>
QColor color(const E& asset, const ResourceBundle& bundle = mainResourceBundle(),
             const QPalette& palette = QGuiApplication::palette()) {
    return uiColor(asset, bundle, palette).value_or(QColor());
}

/// The image `asset` names in `bundle`, or a null icon when missing.
template <VtImageAsset E>
QIcon loadImage(const E& asset, const ResourceBundle& bundle = mainResourceBundle()) {
    return bundle.image(QString::fromStdString(core::RawValueTraits<E>::rawValue(asset)));
}

/// The font of the family `asset` names, `pixelSize` device-independent pixels high (at least 1).
template <VtFontAsset E>
QFont loadFont(const E& asset, int pixelSize) {
    QFont font(QString::fromStdString(core::RawValueTraits<E>::rawValue(asset)));
    font.setPixelSize(pixelSize < 1 ? 1 : pixelSize);
    return font;
}

/// Font weights applied to a font, by the names of the weights.
struct Font {
    /// `font` at the extra-light weight.
    static QFont ultraLight(QFont font);
    /// `font` at the thin weight.
    static QFont thin(QFont font);
    /// `font` at the light weight.
    static QFont light(QFont font);
    /// `font` at the normal weight.
    static QFont regular(QFont font);
    /// `font` at the medium weight.
    static QFont medium(QFont font);
    /// `font` at the demi-bold weight.
    static QFont semibold(QFont font);
    /// `font` at the bold weight.
    static QFont bold(QFont font);
    /// `font` at the extra-bold weight.
    static QFont heavy(QFont font);
    /// `font` at the black weight.
    static QFont black(QFont font);
};

} // namespace uikit
