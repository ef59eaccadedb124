#include "app/cell_style.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using app::CellAlignment;
using app::CellColour;
using app::CellFont;
using app::CellStyle;
using app::CellTextTone;
using app::GridPalette;
using app::Rgba;
using app::styleFor;
using Element = report::ProjectReport::Element;

TEST(CellStyleTest, EveryKindOfCellHasItsColourTextFontToneAndAlignment) {
    const core::Date day(1'700'000'000);
    EXPECT_EQ(styleFor({Element::Summary{"1,234"}}),
              (CellStyle{CellColour::summary, "1,234", CellFont::standard, CellTextTone::primary,
                         CellAlignment::center}));
    EXPECT_EQ(styleFor({Element::Timeline{day, "11/14/23"}}),
              (CellStyle{CellColour::timeline, "11/14/23", CellFont::din, CellTextTone::primary,
                         CellAlignment::center}));
    EXPECT_EQ(styleFor({Element::PeriodSubtotal{day, "80"}}),
              (CellStyle{CellColour::subtotal, "80", CellFont::din, CellTextTone::tertiary,
                         CellAlignment::center}));
    EXPECT_EQ(styleFor({Element::Member{0, 7, "Ada Lovelace"}}),
              (CellStyle{CellColour::rowMember, "Ada Lovelace", CellFont::standard,
                         CellTextTone::primary, CellAlignment::left}));
    EXPECT_EQ(styleFor({Element::MemberSubtotal{0, 7, "120"}}),
              (CellStyle{CellColour::subtotal, "120", CellFont::din, CellTextTone::tertiary,
                         CellAlignment::center}));
    EXPECT_EQ(styleFor({Element::Value{0, 7, day, "9", false}}),
              (CellStyle{CellColour::value, "9", CellFont::din, CellTextTone::primary,
                         CellAlignment::center}));
    EXPECT_EQ(styleFor({Element::Value{0, 7, day, "9", true}}).background, CellColour::exceed);
    // The style views the element's own text rather than copying it.
    const Element member{Element::Member{1, std::nullopt, "--- not assigned ---"}};
    EXPECT_EQ(styleFor(member).text.data(), std::get<Element::Member>(member.payload).name.data());
}

TEST(CellStyleTest, LabelsSitTwoPointsInAndCentredDownRoundedUp) {
    EXPECT_EQ(app::labelRect(core::CGRect::make(330, 42, 89, 23), 15),
              core::CGRect::make(332, 46, 85, 15));
    EXPECT_EQ(app::labelRect(core::CGRect::make(330, 42, 89, 23), 16),
              core::CGRect::make(332, 46, 85, 16));
    // The summary's label is centred over its whole two-row span.
    EXPECT_EQ(app::labelRect(core::CGRect::make(0, 0, 330, 42), 17),
              core::CGRect::make(2, 13, 326, 17));
}

// Hue in degrees and saturation (HSV) of an opaque colour.
std::pair<double, double> hueAndSaturation(Rgba colour) {
    const double r = colour.red / 255.0;
    const double g = colour.green / 255.0;
    const double b = colour.blue / 255.0;
    const double high = std::max({r, g, b});
    const double low = std::min({r, g, b});
    const double range = high - low;
    if (range == 0) {
        return {0, 0};
    }
    double hue = 0;
    if (high == r) {
        hue = std::fmod((g - b) / range + 6, 6);
    } else if (high == g) {
        hue = (b - r) / range + 2;
    } else {
        hue = (r - g) / range + 4;
    }
    return {hue * 60, range / high};
}

TEST(CellStyleTest, TheExceedColourReadsAsRedInBothAppearances) {
    for (const GridPalette* palette : {&GridPalette::light(), &GridPalette::dark()}) {
        const auto [hue, saturation] = hueAndSaturation(palette->exceed);
        EXPECT_TRUE(hue <= 15 || hue >= 345) << hue;
        EXPECT_GE(saturation, 0.5);
        // Every other cell colour is a near-grey, so the mark stands out.
        for (const CellColour colour :
             {CellColour::summary, CellColour::rowMember, CellColour::timeline,
              CellColour::subtotal, CellColour::value}) {
            EXPECT_LT(hueAndSaturation(palette->background(colour)).second, 0.2);
        }
        EXPECT_EQ(palette->background(CellColour::exceed), palette->exceed);
    }
    // The platform's label colours, dark on a light window and light on a dark one, must stay
    // legible on the value cells.
    EXPECT_GT(GridPalette::light().value.red, 0xE0);
    EXPECT_LT(GridPalette::dark().value.red, 0x40);
}

} // namespace
