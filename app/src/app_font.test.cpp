#include "app/app_font.hpp"
#include "app/text_styles.hpp"

#include "uikit/color.hpp"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>

#include <memory>

namespace app {
namespace {

TEST(AppFont, SizesFollowTheTextStyleTable) {
    EXPECT_EQ(AppFont::size(TextStyle::largeTitle), 26);
    EXPECT_EQ(AppFont::size(TextStyle::title), 22);
    EXPECT_EQ(AppFont::size(TextStyle::title2), 17);
    EXPECT_EQ(AppFont::size(TextStyle::title3), 15);
    EXPECT_EQ(AppFont::size(TextStyle::headline), 13);
    EXPECT_EQ(AppFont::size(TextStyle::subheadline), 11);
    EXPECT_EQ(AppFont::size(TextStyle::body), 13);
    EXPECT_EQ(AppFont::size(TextStyle::callout), 12);
    EXPECT_EQ(AppFont::size(TextStyle::footnote), 10);
    EXPECT_EQ(AppFont::size(TextStyle::caption), 10);
    EXPECT_EQ(AppFont::size(TextStyle::caption2), 10);
    // A style added later falls back to the body size.
    EXPECT_EQ(AppFont::size(static_cast<TextStyle>(99)), 13);
}

static_assert(uikit::VtFontAsset<AppFont::Face>);

TEST(AppFont, TheOnlyFaceIsNamedExactly) {
    ASSERT_EQ(AppFont::allCases.size(), 1U);
    EXPECT_EQ(AppFont::rawValue(AppFont::Face::dinPro), "DINPro");
    EXPECT_EQ(AppFont::fromRawValue("DINPro"), AppFont::Face::dinPro);
    EXPECT_EQ(AppFont::fromRawValue("dinPro"), std::nullopt);
    EXPECT_EQ(AppFont::fromRawValue("DINPro "), std::nullopt);
    EXPECT_EQ(AppFont::fromRawValue(""), std::nullopt);
}

TEST(AppFont, TheEmbeddedFaceAnswersToTheNameTheScreensUse) {
    AppFont::registerFonts();
    AppFont::registerFonts(); // again: nothing changes
    const QFont body = AppFont::font(TextStyle::body);
    EXPECT_EQ(body.pixelSize(), 13);
    EXPECT_EQ(QFontInfo(body).family(), QStringLiteral("OSP-DIN"));
    const auto cell = AppFont::nsFont(TextStyle::body);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->pixelSize(), 13);
    EXPECT_EQ(QFontInfo(*cell).family(), QStringLiteral("OSP-DIN"));
}

TEST(TitleLabel, ShowsAProjectNameWithMarkupLiterally) {
    // A project is named by its author; "<i>x</i>" must read as those eight characters, not as an
    // italic x.
    const std::unique_ptr<QLabel> label(makeTitleLabel("<i>x</i>", TextStyle::title2));
    const QFontMetrics metrics(label->font());
    EXPECT_GE(label->sizeHint().width(), metrics.horizontalAdvance("<i>x</i>"));
    EXPECT_GT(label->sizeHint().width(), 3 * metrics.horizontalAdvance("x"));
}

TEST(AppFontDeathTest, AMissingFontFileStopsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(registerFont("NoSuchFace", "ttf"),
                 "Couldn't create font from filename: NoSuchFace with extension ttf");
}

} // namespace
} // namespace app
