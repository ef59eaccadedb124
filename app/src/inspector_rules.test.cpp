#include "app/inspector_rules.hpp"

#include <gtest/gtest.h>

namespace {

using app::InspectorRules;
using app::InspectorSection;
using report::Period;
using report::ProjectReport;
using DecimalPlaces = report::ReportRender::DecimalPlaces;
using CostKind = ProjectReport::CostKind;
using ValueKind = ProjectReport::ValueKind;

TEST(InspectorRules, SectionsForEveryValueKindAndPeriod) {
    using S = InspectorSection;
    const std::vector<S> base{S::timeline, S::reportContent, S::decimalPlaces};
    auto with = [&](std::optional<S> last) {
        auto sections = base;
        if (last) {
            sections.push_back(*last);
        }
        return sections;
    };
    for (const Period::Kind period : {Period::Kind::day, Period::Kind::week, Period::Kind::month}) {
        for (const CostKind cost : {CostKind::all, CostKind::laborOnly, CostKind::materialsOnly}) {
            EXPECT_EQ(InspectorRules::visibleSections(ValueKind::cost(cost), period),
                      with(S::currencyDisplay));
        }
    }
    EXPECT_EQ(InspectorRules::visibleSections(ValueKind::work(), Period::Kind::day),
              with(std::nullopt));
    EXPECT_EQ(InspectorRules::visibleSections(ValueKind::work(), Period::Kind::week),
              with(S::exceedPolicy));
    EXPECT_EQ(InspectorRules::visibleSections(ValueKind::work(), Period::Kind::month),
              with(S::exceedPolicy));

    EXPECT_EQ(InspectorRules::title(S::exceedPolicy), "Exceed Policy");
    EXPECT_TRUE(InspectorRules::showsWeekDisplay(Period::Kind::week));
    EXPECT_FALSE(InspectorRules::showsWeekDisplay(Period::Kind::month));
    EXPECT_TRUE(InspectorRules::showsMonthDisplay(Period::Kind::month));
    EXPECT_FALSE(InspectorRules::showsMonthDisplay(Period::Kind::day));
    EXPECT_EQ(InspectorRules::kExceedFooterTitle.back(), ' ');
}

TEST(InspectorRules, DecimalPlacesShowACountAndAFixedFlag) {
    struct Row {
        DecimalPlaces places;
        int count;
        bool fixed;
    };
    const Row table[] = {
        {DecimalPlaces::none, 0, true},      {DecimalPlaces::maxOne, 1, false},
        {DecimalPlaces::maxTwo, 2, false},   {DecimalPlaces::maxThree, 3, false},
        {DecimalPlaces::maxFour, 4, false},  {DecimalPlaces::fixedOne, 1, true},
        {DecimalPlaces::fixedTwo, 2, true},  {DecimalPlaces::fixedThree, 3, true},
        {DecimalPlaces::fixedFour, 4, true},
    };
    for (const Row& row : table) {
        EXPECT_EQ(InspectorRules::decimalCount(row.places), row.count);
        EXPECT_EQ(InspectorRules::isFixed(row.places), row.fixed);
    }
}

TEST(InspectorRules, ChoosingACountKeepsTheFixedFormAndNoneCountsAsFixed) {
    EXPECT_EQ(InspectorRules::withCount(DecimalPlaces::none, 2), DecimalPlaces::fixedTwo);
    EXPECT_EQ(InspectorRules::withCount(DecimalPlaces::maxOne, 2), DecimalPlaces::maxTwo);
    EXPECT_EQ(InspectorRules::withCount(DecimalPlaces::fixedThree, 0), DecimalPlaces::none);
    EXPECT_EQ(InspectorRules::withCount(DecimalPlaces::fixedOne, 4), DecimalPlaces::fixedFour);
    EXPECT_EQ(InspectorRules::withCount(DecimalPlaces::maxFour, 1), DecimalPlaces::maxOne);
    EXPECT_EQ(InspectorRules::withCount(DecimalPlaces::maxTwo, 5), DecimalPlaces::maxTwo);
    EXPECT_EQ(InspectorRules::withCount(DecimalPlaces::fixedTwo, -1), DecimalPlaces::fixedTwo);
}

TEST(InspectorRules, SwitchingFixedKeepsTheCountAndDoesNothingAtNone) {
    EXPECT_EQ(InspectorRules::withFixed(DecimalPlaces::maxThree, true), DecimalPlaces::fixedThree);
    EXPECT_EQ(InspectorRules::withFixed(DecimalPlaces::fixedFour, false), DecimalPlaces::maxFour);
    EXPECT_EQ(InspectorRules::withFixed(DecimalPlaces::maxOne, false), DecimalPlaces::maxOne);
    EXPECT_EQ(InspectorRules::withFixed(DecimalPlaces::none, false), DecimalPlaces::none);
    EXPECT_EQ(InspectorRules::withFixed(DecimalPlaces::none, true), DecimalPlaces::none);
}

TEST(InspectorRules, CurrencySamplesShowTheCurrencyOnEitherSide) {
    EXPECT_EQ(InspectorRules::currencySamples("$"),
              (std::vector<std::string>{"No", "100$", "$100"}));
    EXPECT_EQ(InspectorRules::currencySamples(""), (std::vector<std::string>{"No", "100", "100"}));
    EXPECT_EQ(InspectorRules::currencySamples("€"),
              (std::vector<std::string>{"No", "100€", "€100"}));
}

} // namespace
