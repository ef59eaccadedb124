#pragma once

// Pixel checks on widget shots inside GoogleTest tests.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPoint>

#include <cstdlib>
#include <string>

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
