#include "icon_tint.hpp"

#include <gtest/gtest.h>

namespace {

TEST(IconTint, PaintsCoveredPixelsInTheColourAndKeepsTheRestClear) {
    QImage icon(4, 2, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    icon.setPixelColor(0, 0, Qt::black);
    const QColor tint = QColor::fromRgbF(0.85F, 0.1F, 0.1F, 0.5F);
    const QImage tinted = components::detail::tintedIcon(icon, QSize(8, 8), tint);
    ASSERT_EQ(tinted.size(), QSize(8, 4)) << "scaled to fit, proportions kept";
    const QColor covered = tinted.pixelColor(0, 0);
    EXPECT_NEAR(covered.redF(), 0.85, 0.01);
    EXPECT_NEAR(covered.greenF(), 0.1, 0.01);
    EXPECT_NEAR(covered.alphaF(), 0.5, 0.01);
    EXPECT_EQ(tinted.pixelColor(7, 3).alpha(), 0);
    EXPECT_TRUE(components::detail::tintedIcon(QImage(), QSize(8, 8), tint).isNull());
}

} // namespace
