#include "uikit/color.hpp"
#include "uikit/edge_insets.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

// The kit's asset names as an enumeration, the way screens name their assets.
enum class KitAsset { systemFill, missing, chevronLeft };

template <>
struct core::RawValueTraits<KitAsset> {
    using RawValue = std::string;
    static std::string rawValue(KitAsset asset) {
        switch (asset) {
        case KitAsset::systemFill:
            return "SystemFill";
        case KitAsset::chevronLeft:
            return "symbols/chevron.left";
        case KitAsset::missing:
            break;
        }
        return "Missing";
    }
    static std::optional<KitAsset> fromRawValue(const std::string& /*raw*/) { return std::nullopt; }
};

namespace {

using uikit::Color;

TEST(Color, PackedIntegersIgnoreTheBitsAboveTheirChannels) {
    EXPECT_EQ(Color::argb(0x80FF0000), QColor(255, 0, 0, 128));
    EXPECT_EQ(Color::argb(0x00FFFFFF), QColor(255, 255, 255, 0));
    EXPECT_EQ(Color::argb(0x7F'80FF0000ULL), QColor(255, 0, 0, 128));
    EXPECT_EQ(Color::rgb(0x12345678), QColor(0x34, 0x56, 0x78));
    EXPECT_EQ(Color::rgb(0xFF000000 | 0x345678), Color::rgb(0x345678));
    EXPECT_EQ(Color::rgb(0x345678).alpha(), 255);
    EXPECT_EQ(Color::random().alpha(), 255);
}

TEST(Color, AlphaClearsScalesOrKeeps) {
    const QColor red = QColor::fromRgbF(1, 0, 0, 0.8f);
    EXPECT_EQ(Color::alpha(red, std::numeric_limits<double>::quiet_NaN()), QColor(Qt::transparent));
    EXPECT_EQ(Color::alpha(red, 0), QColor(Qt::transparent));
    EXPECT_EQ(Color::alpha(red, -1), QColor(Qt::transparent));
    EXPECT_EQ(Color::alpha(red, 1), red);
    EXPECT_EQ(Color::alpha(red, 2), red);
    const QColor half = Color::alpha(red, 0.5);
    EXPECT_NEAR(half.alphaF(), 0.4, 1e-3);
    EXPECT_EQ(half.rgb(), red.rgb());
    EXPECT_FALSE(Color::alpha(QColor(), 0.5).isValid()) << "an unconvertible colour is kept";
}

TEST(Color, BrightnessUsesTheWeightedSumWithAStrictThreshold) {
    EXPECT_FALSE(Color::isDark(0.5, 0.5, 0.5)) << "exactly 500 is not dark";
    EXPECT_TRUE(Color::isDark(0.5, 0.5, 0.49));
    EXPECT_TRUE(Color::isDark(QColor(Qt::blue)));
    EXPECT_FALSE(Color::isDark(QColor(Qt::green)));
    EXPECT_TRUE(Color::isDark(QColor(Qt::black)));
    EXPECT_FALSE(Color::isDark(QColor(Qt::white)));
    EXPECT_TRUE(Color::isDark(QColor())) << "an invalid colour counts as dark";
    EXPECT_TRUE(Color::isDark(QColor::fromHsv(240, 255, 255))) << "converted to RGB first";
    EXPECT_DOUBLE_EQ(Color::darkness(QColor(Qt::white)), 1.0);
    EXPECT_DOUBLE_EQ(Color::darkness(QColor(Qt::black)), 0.0);
    EXPECT_DOUBLE_EQ(Color::darkness(QColor(Qt::red)), 0.299);
}

TEST(Color, EveryKitColourLoadsWithDistinctLightAndDarkFaces) {
    const auto& bundle = uikit::moduleResourceBundle();
    const QStringList expected = {"OpaqueSeparator",
                                  "QuaternarySystemFill",
                                  "SecondarySystemBackground",
                                  "SecondarySystemFill",
                                  "SecondarySystemGroupedBackground",
                                  "SystemBackground",
                                  "SystemFill",
                                  "SystemGray2",
                                  "SystemGray3",
                                  "SystemGray4",
                                  "SystemGray5",
                                  "SystemGray6",
                                  "SystemGroupedBackground",
                                  "TertiarySystemBackground",
                                  "TertiarySystemFill",
                                  "TertiarySystemGroupedBackground"};
    EXPECT_EQ(bundle.colorNames(), expected);
    for (const QString& name : expected) {
        ASSERT_TRUE(bundle.color(name, false)) << name.toStdString();
        EXPECT_NE(*bundle.color(name, false), *bundle.color(name, true)) << name.toStdString();
    }
    EXPECT_FALSE(bundle.color("NoSuchColour", false));

    QPalette light;
    light.setColor(QPalette::Window, Qt::white);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    EXPECT_FALSE(Color::isDark(Color::systemBackground(light)));
    EXPECT_TRUE(Color::isDark(Color::systemBackground(dark)));
    EXPECT_EQ(Color::systemGray2(dark), Color::gray2(dark));
    EXPECT_EQ(Color::named("SystemFill", bundle, dark), Color::systemFill(dark));
}

TEST(Color, AssetEnumerationsResolveInTheirBundle) {
    const auto& kit = uikit::moduleResourceBundle();
    QPalette light;
    light.setColor(QPalette::Window, Qt::white);
    EXPECT_EQ(uikit::uiColor(KitAsset::systemFill, kit, light), Color::systemFill(light));
    EXPECT_EQ(uikit::color(KitAsset::systemFill, kit, light), Color::systemFill(light));
    EXPECT_EQ(uikit::uiColor(KitAsset::missing, kit, light), std::nullopt);
    EXPECT_FALSE(uikit::color(KitAsset::missing, kit, light).isValid());
    EXPECT_EQ(uikit::uiColor(KitAsset::systemFill), std::nullopt) << "the application's bundle";
    EXPECT_FALSE(uikit::loadImage(KitAsset::chevronLeft, kit).isNull());
    EXPECT_TRUE(uikit::loadImage(KitAsset::missing, kit).isNull());
    const QFont font = uikit::loadFont(KitAsset::missing, 13);
    EXPECT_EQ(font.family(), "Missing");
    EXPECT_EQ(font.pixelSize(), 13);
    EXPECT_EQ(uikit::loadFont(KitAsset::missing, -4).pixelSize(), 1);
}

TEST(Color, SystemColoursComeFromThePalette) {
    QPalette palette;
    palette.setColor(QPalette::Text, QColor(10, 20, 30));
    palette.setColor(QPalette::WindowText, QColor(40, 50, 60));
    palette.setColor(QPalette::Mid, QColor(1, 2, 3));
    palette.setColor(QPalette::Button, QColor(4, 5, 6));
    palette.setColor(QPalette::Link, QColor(7, 8, 9));
    palette.setColor(QPalette::PlaceholderText, QColor(11, 12, 13));
    EXPECT_EQ(Color::tertiary(palette).rgb(), QColor(10, 20, 30).rgb());
    EXPECT_NEAR(Color::tertiaryLabel(palette).alphaF(), 0.26, 1e-3);
    EXPECT_NEAR(Color::quaternary(palette).alphaF(), 0.10, 1e-3);
    EXPECT_EQ(Color::label(palette), QColor(40, 50, 60));
    EXPECT_NEAR(Color::secondaryLabel(palette).alphaF(), 0.5, 1e-3);
    EXPECT_EQ(Color::separator(palette), QColor(1, 2, 3));
    EXPECT_EQ(Color::controlBackground(palette), QColor(4, 5, 6));
    EXPECT_EQ(Color::link(palette), QColor(7, 8, 9));
    EXPECT_EQ(Color::placeholderText(palette), QColor(11, 12, 13));
    EXPECT_EQ(Color::lightGray(), QColor(0xAA, 0xAA, 0xAA));
}

TEST(Color, WeightShortcutsSetQtWeights) {
    const QFont font;
    EXPECT_EQ(uikit::Font::ultraLight(font).weight(), QFont::ExtraLight);
    EXPECT_EQ(uikit::Font::semibold(font).weight(), QFont::DemiBold);
    EXPECT_EQ(uikit::Font::heavy(font).weight(), QFont::ExtraBold);
    EXPECT_EQ(uikit::Font::thin(uikit::Font::black(font)).weight(), QFont::Thin);
}

TEST(EdgeInsets, ConstructorsPlaceEachEdge) {
    using uikit::EdgeInsets;
    EXPECT_EQ(EdgeInsets::horizontalAndVertical(4, 8), (EdgeInsets{8, 4, 8, 4}));
    EXPECT_EQ(EdgeInsets::horizontal(3), (EdgeInsets{0, 3, 0, 3}));
    EXPECT_EQ(EdgeInsets::vertical(3), (EdgeInsets{3, 0, 3, 0}));
    EXPECT_EQ(EdgeInsets::allExceptTop(1, 9), (EdgeInsets{9, 1, 1, 1}));
    EXPECT_EQ(EdgeInsets::allExceptLeading(1, 9), (EdgeInsets{1, 9, 1, 1}));
    EXPECT_EQ(EdgeInsets::allExceptBottom(1, 9), (EdgeInsets{1, 1, 9, 1}));
    EXPECT_EQ(EdgeInsets::allExceptTrailing(1, 9), (EdgeInsets{1, 1, 1, 9}));
    EXPECT_EQ(EdgeInsets::zero().trailingChanged(2).topChanged(1), (EdgeInsets{1, 0, 0, 2}));
    EXPECT_EQ(EdgeInsets::all(5).leadingChanged(6).bottomChanged(7), (EdgeInsets{5, 6, 7, 5}));
}

TEST(EdgeInsets, MarginsFollowTheLayoutDirection) {
    const uikit::EdgeInsets insets{1, 2, 3, 4};
    EXPECT_EQ(insets.toQMargins(Qt::LeftToRight), QMargins(2, 1, 4, 3));
    EXPECT_EQ(insets.toQMargins(Qt::RightToLeft), QMargins(4, 1, 2, 3));
    const auto symmetric = uikit::EdgeInsets::horizontalAndVertical(4, 8);
    EXPECT_EQ(symmetric.toQMargins(Qt::LeftToRight), QMargins(4, 8, 4, 8));
    const uikit::EdgeInsets odd{std::nan(""), 1e300, -0.6, 2.5};
    EXPECT_EQ(odd.toQMargins(Qt::LeftToRight), QMargins(1'000'000, 0, 3, -1));
}

} // namespace
