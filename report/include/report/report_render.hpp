#pragma once

#include "core/diffable_snapshot.hpp"
#include "report/project_report.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace document {
class ZozProject;
}

namespace report {

namespace detail {
struct NumberFormat;
}

/// The grid's snapshot: sections 0 (titles), 1 (period totals), then one per report row.
using ReportSnapshot = core::DiffableSnapshot<int, ProjectReport::Element>;

/// The display options of the report and the number formatter they make; immutable, so one
/// render may be used by several threads at once.
class ReportRender {
public:
    /// Fraction digits of every number: at most n (`maxOne`...) or exactly n (`fixedOne`...).
    enum class DecimalPlaces {
        none = 0,
        maxOne = 1,
        maxTwo = 2,
        maxThree = 3,
        maxFour = 4,
        fixedOne = 5,
        fixedTwo = 6,
        fixedThree = 7,
        fixedFour = 8
    };
    /// Where the currency text stands beside a cost.
    enum class CurrencyDisplay { atEnd = 0, atStart = 1, none = 2 };
    /// The title of a week column: "W" and its number, or its first day's date.
    enum class WeekDisplay { week = 0, firstDay = 1 };
    /// The title of a month column: month and year, or its first day's date.
    enum class MonthDisplay { month = 0, firstDay = 1 };
    /// When a work cell is marked exceeded: some day over its hours, or the cell's total over
    /// the hours of its days.
    enum class ExceedPolicy { any = 0, overrall = 1 };

    /// The decimal places with raw value `raw`, or none outside 0...8.
    static std::optional<DecimalPlaces> decimalPlacesFromRaw(std::int64_t raw) noexcept;
    /// The currency display with raw value `raw`, or none outside 0...2.
    static std::optional<CurrencyDisplay> currencyDisplayFromRaw(std::int64_t raw) noexcept;

    /// Options with a number formatter for the current locale: no grouping, half-even rounding,
    /// the fraction digits of `decimalPlaces`, never a negative zero.
    ReportRender(DecimalPlaces decimalPlaces, CurrencyDisplay currencyDisplay,
                 WeekDisplay weekDisplay, MonthDisplay monthDisplay, ExceedPolicy exceedPolicy);
    /// The same for the ICU locale `localeId` (for instance "de_DE").
    ReportRender(DecimalPlaces decimalPlaces, CurrencyDisplay currencyDisplay,
                 WeekDisplay weekDisplay, MonthDisplay monthDisplay, ExceedPolicy exceedPolicy,
                 const std::string& localeId);

    /// The decimal places option.
    DecimalPlaces decimalPlaces() const noexcept { return m_decimalPlaces; }
    /// The currency display option.
    CurrencyDisplay currencyDisplay() const noexcept { return m_currencyDisplay; }
    /// The week title option.
    WeekDisplay weekDisplay() const noexcept { return m_weekDisplay; }
    /// The month title option.
    MonthDisplay monthDisplay() const noexcept { return m_monthDisplay; }
    /// The exceed policy option.
    ExceedPolicy exceedPolicy() const noexcept { return m_exceedPolicy; }
    /// The ICU locale id the numbers and dates are formatted for.
    const std::string& localeId() const noexcept { return m_localeId; }

    /// The formatter's text of `amount` (at least one integer digit, no negative zero); empty
    /// when the formatter gives none (NaN and infinities are shown as ICU shows them).
    std::string formatNumber(double amount) const;
    /// The cell text of `amount`: empty when `hideZero` and it is exactly 0.0; otherwise the
    /// number with `currency` placed by the currency display, without a space.
    std::string formatValue(double amount, std::string_view currency, bool hideZero) const;
    /// The title of `period`: a numeric date for days, "W" and the week number or the first
    /// day's date for weeks, abbreviated month and year or the first day's date for months.
    std::string periodTitle(const Period& period) const;

private:
    DecimalPlaces m_decimalPlaces;
    CurrencyDisplay m_currencyDisplay;
    WeekDisplay m_weekDisplay;
    MonthDisplay m_monthDisplay;
    ExceedPolicy m_exceedPolicy;
    std::string m_localeId;
    std::shared_ptr<const detail::NumberFormat> m_format;
};

/// The summary's text: the grand total's amount for `kind`, zero shown; a currency only for
/// cost kinds.
std::string summaryTotalText(const ProjectReport::Value& total, ProjectReport::ValueKind kind,
                             std::string_view currency, const ReportRender& render);
/// The same with the currency of `project`.
std::string summaryTotalText(const ProjectReport::Value& total, ProjectReport::ValueKind kind,
                             const document::ZozProject& project, const ReportRender& render);

/// One `timeline` element per period, with the period's date and title.
std::vector<ProjectReport::Element>
makeTimelineCells(const std::vector<ProjectReport::TimelineCellInfo>& timeline,
                  const ReportRender& render);

/// One `dateSubtotal` element per period, with the period total's text (zero hidden; currency
/// only for cost kinds).
std::vector<ProjectReport::Element>
makePeriodSubtotalCells(const std::vector<ProjectReport::TimelineCellInfo>& timeline,
                        const ReportRender& render, ProjectReport::ValueKind kind,
                        std::string_view currency);

/// One `value` element per period of row `rowIndex`, with its text and exceed mark (work only:
/// `any` when some day of the cell is over, `overrall` when the cell's hours pass the hours of
/// its working days; never for cost or an empty cell).
std::vector<ProjectReport::Element>
makeValueCells(const ProjectReport& report, std::size_t rowIndex, ProjectReport::ValueKind kind,
               const ReportRender& render, std::string_view currency);

/// The whole grid: section 0 the summary and the titles, section 1 the period totals, section
/// k + 2 row k's name, total and values; for a report too large to build, section 0 alone and
/// no items.
ReportSnapshot makeSnapshot(const ProjectReport& report, ProjectReport::ValueKind kind,
                            std::string_view currency, const ReportRender& render);
/// The same with the currency of `project`.
ReportSnapshot makeSnapshot(const ProjectReport& report, ProjectReport::ValueKind kind,
                            const document::ZozProject& project, const ReportRender& render);

/// Whether work cell `value` of a column offering `availableHours` is marked under `policy`.
bool isExceeded(const ProjectReport::Value& value, double availableHours,
                ReportRender::ExceedPolicy policy);

} // namespace report
