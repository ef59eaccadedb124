#pragma once

#include "core/geometry.hpp"
#include "report/project_report.hpp"

#include <cstdint>
#include <string_view>

namespace app {

/// The six named background colours of the grid's cells.
enum class CellColour { summary, rowMember, timeline, subtotal, value, exceed };

/// The font of a cell's text: the platform's default label font, or the application font at
/// the body size.
enum class CellFont { standard, din };

/// The colour of a cell's text: the default label colour or the tertiary label colour.
enum class CellTextTone { primary, tertiary };

/// How a cell's text is placed across its label.
enum class CellAlignment { left, center };

/// How one grid cell looks. `text` views the element's own text, so the style must not outlive
/// the element it was made from.
struct CellStyle {
    CellColour background = CellColour::value;
    std::string_view text;
    CellFont font = CellFont::standard;
    CellTextTone tone = CellTextTone::primary;
    CellAlignment alignment = CellAlignment::center;
    friend bool operator==(const CellStyle&, const CellStyle&) = default;
};

/// The family name under which the application registers its font.
inline constexpr const char* kAppFontFamily = "DINPro";
/// The body text size in pixels, at which the application font draws the grid's numbers.
inline constexpr int kBodyFontPixelSize = 13;

/// The style of `element`'s cell: the summary in the default font, titles and values in the
/// application font, subtotals in the application font in the tertiary colour, names left in the
/// default font; a value marked `exceed` on the exceed colour.
CellStyle styleFor(const report::ProjectReport::Element& element);

/// Where a cell's single-line label stands in the cell's frame `bounds` for a text
/// `textHeight` high: 2 points in from each side, centred down and rounded up to a whole point.
core::CGRect labelRect(const core::CGRect& bounds, double textHeight);

/// An sRGB colour with alpha.
struct Rgba {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 255;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

/// The grid's background colours in one appearance; the exceed colour reads as red in both.
/// Texts take the platform's label colours.
struct GridPalette {
    Rgba summary;
    Rgba rowMember;
    Rgba timeline;
    Rgba subtotal;
    Rgba value;
    Rgba exceed;

    /// The colours on a light window.
    static const GridPalette& light();
    /// The colours on a dark window.
    static const GridPalette& dark();

    /// The background colour named `colour`.
    Rgba background(CellColour colour) const;
};

} // namespace app
