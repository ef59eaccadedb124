#pragma once

#include "app/scroll_math.hpp"
#include "report/project_report.hpp"

#include <optional>

namespace app {

/// A request to bring one grid element into view.
struct ReportGridScrollCommand {
    /// The element to show.
    report::ProjectReport::Element target;
    /// When given, the shown area starts at least this far right (grid coordinates).
    std::optional<double> minX;
    /// When given, the shown area ends at most this far right (grid coordinates).
    std::optional<double> maxX;
    /// Where the area is placed across; none moves it only as far as needed.
    std::optional<HorizontalAlignment> horizontalAlignment;
    /// Where the area is placed down; none moves it only as far as needed.
    std::optional<VerticalAlignment> verticalAlignment;
    /// Margins kept between the area and the visible edges.
    uikit::EdgeInsets spacing;
};

} // namespace app
