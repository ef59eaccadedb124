#pragma once

#include "report/period.hpp"
#include "report/project_report.hpp"
#include "report/report_render.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

/// The sections of the report options inspector, in the order they stand.
enum class InspectorSection {
    timeline,
    reportContent,
    decimalPlaces,
    currencyDisplay,
    exceedPolicy
};

/// One segment of a segmented picker: the text it shows and the option value it stands for.
template <class T>
struct Segment {
    std::string text;
    T value;
};

/// What the options inspector shows for the options the view model holds, and how its derived
/// controls write back; widget-free, so every rule is tested without a display.
struct InspectorRules {
    static constexpr std::string_view kTimelineTitle = "Timeline";
    static constexpr std::string_view kReportContentTitle = "Report Content";
    static constexpr std::string_view kDecimalPlacesTitle = "Decimal Places";
    static constexpr std::string_view kCurrencyDisplayTitle = "Currency Display";
    static constexpr std::string_view kExceedPolicyTitle = "Exceed Policy";
    static constexpr std::string_view kWeekDisplayLabel = "Week Display on Timeline";
    static constexpr std::string_view kMonthDisplayLabel = "Month Display";
    static constexpr std::string_view kIsFixedLabel = "Is Fixed";
    /// The footer's title line; it ends with a space.
    static constexpr std::string_view kExceedFooterTitle =
        "Exceed value will be displayed with red background color. This option lets the app "
        "know if the assigned work in a cell has been exceeded when the time scale is set to "
        "week or month. ";
    /// The footer's bulleted lines, in order.
    static const std::vector<std::string>& exceedFooterItems();

    /// The sections shown, in order: the first three always, then "Currency Display" for any
    /// cost, "Exceed Policy" for work by weeks or months, and nothing more for work by days.
    static std::vector<InspectorSection> visibleSections(report::ProjectReport::ValueKind valueKind,
                                                         report::Period::Kind periodKind);
    /// The title of `section`.
    static std::string_view title(InspectorSection section);
    /// Whether the week-title picker is shown (only for weeks).
    static bool showsWeekDisplay(report::Period::Kind periodKind) noexcept;
    /// Whether the month-title picker is shown (only for months).
    static bool showsMonthDisplay(report::Period::Kind periodKind) noexcept;

    /// "Day", "Week", "Month".
    static const std::vector<Segment<report::Period::Kind>>& periodSegments();
    /// "Week Number", "First Day".
    static const std::vector<Segment<report::ReportRender::WeekDisplay>>& weekDisplaySegments();
    /// "Year and Month", "First Day".
    static const std::vector<Segment<report::ReportRender::MonthDisplay>>& monthDisplaySegments();
    /// "Work" (true), "Cost" (false).
    static const std::vector<Segment<bool>>& workSegments();
    /// "All", "Labor", "Materials".
    static const std::vector<Segment<report::ProjectReport::CostKind>>& costKindSegments();
    /// "Overrall", "Any".
    static const std::vector<Segment<report::ReportRender::ExceedPolicy>>& exceedSegments();
    /// "No", "100" + currency, currency + "100".
    static std::vector<Segment<report::ReportRender::CurrencyDisplay>>
    currencySegments(std::string_view currency);
    /// The texts of `currencySegments(currency)`.
    static std::vector<std::string> currencySamples(std::string_view currency);
    /// "0" to "4".
    static const std::vector<Segment<int>>& decimalCountSegments();

    /// The digit count shown for `places`: 0 for `none`, else its n.
    static int decimalCount(report::ReportRender::DecimalPlaces places) noexcept;
    /// Whether "Is Fixed" shows on: for `none` and the fixed forms.
    static bool isFixed(report::ReportRender::DecimalPlaces places) noexcept;
    /// The value after choosing `count`: `none` for 0, the fixed form of n while `current` counts
    /// as fixed, else the maximum form; `current` itself for a count outside 0 to 4.
    static report::ReportRender::DecimalPlaces
    withCount(report::ReportRender::DecimalPlaces current, int count) noexcept;
    /// The value after switching "Is Fixed" to `fixed`: `none` stays `none`; otherwise the same
    /// count in its fixed or maximum form.
    static report::ReportRender::DecimalPlaces
    withFixed(report::ReportRender::DecimalPlaces current, bool fixed) noexcept;
};

/// The value-kind control's own state: whether work is chosen and the cost kind last chosen.
/// Set once from the value kind when the control is made; afterwards it changes only through
/// the control's segments, so switching back from work restores the last cost kind.
class ValueKindSelection {
public:
    /// Work chosen exactly when `initial` is work; the cost kind of `initial`, else `all`.
    explicit ValueKindSelection(report::ProjectReport::ValueKind initial) noexcept;

    /// True when the work segment is chosen.
    bool isWork() const noexcept { return m_isWork; }
    /// The cost kind the cost segments show.
    report::ProjectReport::CostKind costKind() const noexcept { return m_costKind; }
    /// The value kind the control stands for.
    report::ProjectReport::ValueKind valueKind() const noexcept;

    /// Chooses work or cost; returns the value kind to write.
    report::ProjectReport::ValueKind chooseWork(bool isWork) noexcept;
    /// Chooses a cost kind; returns the cost of that kind to write.
    report::ProjectReport::ValueKind chooseCostKind(report::ProjectReport::CostKind kind) noexcept;

private:
    bool m_isWork;
    report::ProjectReport::CostKind m_costKind;
};

/// The index of the segment whose value is `value`, if any.
template <class T>
std::optional<int> segmentIndex(const std::vector<Segment<T>>& segments, const T& value) {
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (segments[i].value == value) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

} // namespace app
