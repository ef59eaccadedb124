#include "app/cell_style.hpp"

#include <cmath>
#include <type_traits>
#include <variant>

namespace app {

CellStyle styleFor(const report::ProjectReport::Element& element) {
    using Element = report::ProjectReport::Element;
    return std::visit(
        [](const auto& payload) -> CellStyle {
            using Payload = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Payload, Element::Summary>) {
                return {CellColour::summary, payload.text, CellFont::standard,
                        CellTextTone::primary, CellAlignment::center};
            } else if constexpr (std::is_same_v<Payload, Element::Timeline>) {
                return {CellColour::timeline, payload.text, CellFont::din, CellTextTone::primary,
                        CellAlignment::center};
            } else if constexpr (std::is_same_v<Payload, Element::PeriodSubtotal>) {
                return {CellColour::subtotal, payload.text, CellFont::din, CellTextTone::tertiary,
                        CellAlignment::center};
            } else if constexpr (std::is_same_v<Payload, Element::Member>) {
                return {CellColour::rowMember, payload.name, CellFont::standard,
                        CellTextTone::primary, CellAlignment::left};
            } else if constexpr (std::is_same_v<Payload, Element::MemberSubtotal>) {
                return {CellColour::subtotal, payload.text, CellFont::din, CellTextTone::tertiary,
                        CellAlignment::center};
            } else {
                static_assert(std::is_same_v<Payload, Element::Value>);
                return {payload.exceed ? CellColour::exceed : CellColour::value, payload.text,
                        CellFont::din, CellTextTone::primary, CellAlignment::center};
            }
        },
        element.payload);
}

core::CGRect labelRect(const core::CGRect& bounds, double textHeight) {
    return core::CGRect::make(bounds.x() + 2,
                              bounds.y() + std::ceil((bounds.size.height - textHeight) * 0.5),
                              bounds.size.width - 4, textHeight);
}

const GridPalette& GridPalette::light() {
    static const GridPalette palette{
        .summary = {0xE4, 0xE8, 0xEE},
        .rowMember = {0xF3, 0xF5, 0xF8},
        .timeline = {0xD9, 0xE2, 0xEE},
        .subtotal = {0xEC, 0xEF, 0xF3},
        .value = {0xFF, 0xFF, 0xFF},
        .exceed = {0xF0, 0x70, 0x66},
    };
    return palette;
}

const GridPalette& GridPalette::dark() {
    static const GridPalette palette{
        .summary = {0x3A, 0x3E, 0x46},
        .rowMember = {0x2C, 0x2F, 0x35},
        .timeline = {0x38, 0x3C, 0x42},
        .subtotal = {0x26, 0x29, 0x2E},
        .value = {0x1E, 0x1F, 0x22},
        .exceed = {0xB0, 0x32, 0x2E},
    };
    return palette;
}

Rgba GridPalette::background(CellColour colour) const {
    switch (colour) {
    case CellColour::summary:
        return summary;
    case CellColour::rowMember:
        return rowMember;
    case CellColour::timeline:
        return timeline;
    case CellColour::subtotal:
        return subtotal;
    case CellColour::value:
        return value;
    case CellColour::exceed:
        return exceed;
    }
    return value;
}

} // namespace app
