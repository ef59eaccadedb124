#include "app/inspector_rules.hpp"

namespace app {

using report::Period;
using report::ProjectReport;
using report::ReportRender;
using DecimalPlaces = ReportRender::DecimalPlaces;

const std::vector<std::string>& InspectorRules::exceedFooterItems() {
    static const std::vector<std::string> items{
        "Overrall - compare the total assigned working hours with the working hours of the "
        "whole period.",
        "Any - if any day is exceed by comparing the assigned working hours with the daily "
        "working hours of each day in the period."};
    return items;
}

std::vector<InspectorSection> InspectorRules::visibleSections(ProjectReport::ValueKind valueKind,
                                                              Period::Kind periodKind) {
    std::vector<InspectorSection> sections{InspectorSection::timeline,
                                           InspectorSection::reportContent,
                                           InspectorSection::decimalPlaces};
    if (valueKind.isCost()) {
        sections.push_back(InspectorSection::currencyDisplay);
    } else if (periodKind != Period::Kind::day) {
        sections.push_back(InspectorSection::exceedPolicy);
    }
    return sections;
}

std::string_view InspectorRules::title(InspectorSection section) {
    switch (section) {
    case InspectorSection::timeline:
        return kTimelineTitle;
    case InspectorSection::reportContent:
        return kReportContentTitle;
    case InspectorSection::decimalPlaces:
        return kDecimalPlacesTitle;
    case InspectorSection::currencyDisplay:
        return kCurrencyDisplayTitle;
    case InspectorSection::exceedPolicy:
        return kExceedPolicyTitle;
    }
    return {};
}

bool InspectorRules::showsWeekDisplay(Period::Kind periodKind) noexcept {
    return periodKind == Period::Kind::week;
}

bool InspectorRules::showsMonthDisplay(Period::Kind periodKind) noexcept {
    return periodKind == Period::Kind::month;
}

const std::vector<Segment<Period::Kind>>& InspectorRules::periodSegments() {
    static const std::vector<Segment<Period::Kind>> segments{
        {"Day", Period::Kind::day}, {"Week", Period::Kind::week}, {"Month", Period::Kind::month}};
    return segments;
}

const std::vector<Segment<ReportRender::WeekDisplay>>& InspectorRules::weekDisplaySegments() {
    static const std::vector<Segment<ReportRender::WeekDisplay>> segments{
        {"Week Number", ReportRender::WeekDisplay::week},
        {"First Day", ReportRender::WeekDisplay::firstDay}};
    return segments;
}

const std::vector<Segment<ReportRender::MonthDisplay>>& InspectorRules::monthDisplaySegments() {
    static const std::vector<Segment<ReportRender::MonthDisplay>> segments{
        {"Year and Month", ReportRender::MonthDisplay::month},
        {"First Day", ReportRender::MonthDisplay::firstDay}};
    return segments;
}

const std::vector<Segment<bool>>& InspectorRules::workSegments() {
    static const std::vector<Segment<bool>> segments{{"Work", true}, {"Cost", false}};
    return segments;
}

const std::vector<Segment<ProjectReport::CostKind>>& InspectorRules::costKindSegments() {
    static const std::vector<Segment<ProjectReport::CostKind>> segments{
        {"All", ProjectReport::CostKind::all},
        {"Labor", ProjectReport::CostKind::laborOnly},
        {"Materials", ProjectReport::CostKind::materialsOnly}};
    return segments;
}

const std::vector<Segment<ReportRender::ExceedPolicy>>& InspectorRules::exceedSegments() {
    static const std::vector<Segment<ReportRender::ExceedPolicy>> segments{
        {"Overrall", ReportRender::ExceedPolicy::overrall},
        {"Any", ReportRender::ExceedPolicy::any}};
    return segments;
}

std::vector<Segment<ReportRender::CurrencyDisplay>>
InspectorRules::currencySegments(std::string_view currency) {
    const std::string symbol(currency);
    return {{"No", ReportRender::CurrencyDisplay::none},
            {"100" + symbol, ReportRender::CurrencyDisplay::atEnd},
            {symbol + "100", ReportRender::CurrencyDisplay::atStart}};
}

std::vector<std::string> InspectorRules::currencySamples(std::string_view currency) {
    std::vector<std::string> samples;
    for (auto& segment : currencySegments(currency)) {
        samples.push_back(std::move(segment.text));
    }
    return samples;
}

const std::vector<Segment<int>>& InspectorRules::decimalCountSegments() {
    static const std::vector<Segment<int>> segments{
        {"0", 0}, {"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}};
    return segments;
}

int InspectorRules::decimalCount(DecimalPlaces places) noexcept {
    const int raw = static_cast<int>(places);
    return raw <= 4 ? raw : raw - 4;
}

bool InspectorRules::isFixed(DecimalPlaces places) noexcept {
    return places == DecimalPlaces::none || static_cast<int>(places) > 4;
}

DecimalPlaces InspectorRules::withCount(DecimalPlaces current, int count) noexcept {
    if (count < 0 || count > 4) {
        return current;
    }
    if (count == 0) {
        return DecimalPlaces::none;
    }
    return static_cast<DecimalPlaces>(isFixed(current) ? count + 4 : count);
}

DecimalPlaces InspectorRules::withFixed(DecimalPlaces current, bool fixed) noexcept {
    if (current == DecimalPlaces::none) {
        return current;
    }
    const int count = decimalCount(current);
    return static_cast<DecimalPlaces>(fixed ? count + 4 : count);
}

ValueKindSelection::ValueKindSelection(ProjectReport::ValueKind initial) noexcept
    : m_isWork(initial.isWork()),
      m_costKind(initial.costKind().value_or(ProjectReport::CostKind::all)) {}

ProjectReport::ValueKind ValueKindSelection::valueKind() const noexcept {
    return m_isWork ? ProjectReport::ValueKind::work() : ProjectReport::ValueKind::cost(m_costKind);
}

ProjectReport::ValueKind ValueKindSelection::chooseWork(bool isWork) noexcept {
    m_isWork = isWork;
    return valueKind();
}

ProjectReport::ValueKind ValueKindSelection::chooseCostKind(ProjectReport::CostKind kind) noexcept {
    m_costKind = kind;
    return ProjectReport::ValueKind::cost(kind);
}

} // namespace app
