#pragma once

// Pixel checks on widget shots inside GoogleTest tests.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QPoint>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

/// A light palette with its window, text, base and separator colours set, to check what a widget
/// paints in it; `separator` replaces the separator colour.
inline QPalette vtLightPalette(const QColor& separator = QColor(184, 184, 184)) {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(239, 239, 239));
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Mid, separator);
    return palette;
}

/// The dark counterpart of `vtLightPalette`.
inline QPalette vtDarkPalette(const QColor& separator = QColor(90, 90, 90)) {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(40, 40, 40));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QColor(30, 30, 30));
    palette.setColor(QPalette::Mid, separator);
    return palette;
}

/// The contrast ratio of two opaque colours by their relative luminance, as WCAG defines it: from
/// 1 (the same luminance) to 21 (black against white), whichever colour is the lighter.
inline double vtContrastRatio(const QColor& first, const QColor& second) {
    const auto luminance = [](const QColor& color) {
        const auto linear = [](double channel) {
            return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
               0.0722 * linear(color.blueF());
    };
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

/// The least difference in lightness (0 to 255) that tells a line apart from what lies beside it.
inline constexpr int kVtClearLightnessStep = 24;

/// Expects the pixel of `shot` at `at` to be `line`, and the pixels one `across` step before and
/// after it to differ clearly from it: a line one pixel thick that can be seen on both sides.
inline void expectLineAt(const QImage& shot, QPoint at, QPoint across, const QColor& line) {
    const auto where = [](QPoint point) {
        return std::to_string(point.x()) + "," + std::to_string(point.y());
    };
    EXPECT_EQ(shot.pixelColor(at).name().toStdString(), line.name().toStdString())
        << "the line at " << where(at);
    for (const QPoint beside : {at - across, at + across}) {
        const QColor seen = shot.pixelColor(beside);
        EXPECT_GT(std::abs(seen.lightness() - line.lightness()), kVtClearLightnessStep)
            << "beside the line at " << where(beside) << ": " << seen.name().toStdString()
            << " against " << line.name().toStdString();
    }
}
