#include "report_builder.hpp"

#include "report/report_render.hpp"
#include "report_fixture.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using report::Period;
using report::ProjectReport;
using report::detail::BuildAssignment;
using report::detail::WorkKind;
using report::testing::cost;
using report::testing::fixturePlan;
using report::testing::PlanBuilder;
using report::testing::work;

constexpr double kA5 = 1.0 * 8.0 / 1.5; // 40 h over 5 days, A's share of 1.5 persons
constexpr double kB5 = 0.5 * 8.0 / 1.5;
constexpr double kT8 = 10.0 / 3.0; // 10 h visited on 3 days although `days` is 2
constexpr double kA33 = (10.0 * 100.0) * 100.0 / 3000.0;
constexpr double kB66 = (20.0 * 100.0) * 100.0 / 3000.0;

struct Cell {
    double work = 0;
    double labor = 0;
    double materials = 0;
    bool over = false;
};

void expectCells(const ProjectReport& report, const std::vector<std::vector<Cell>>& expected,
                 report::ReportRender::ExceedPolicy policy, const char* what) {
    ASSERT_EQ(report.rows().size(), expected.size()) << what;
    for (std::size_t r = 0; r < expected.size(); ++r) {
        ASSERT_EQ(report.timeline().size(), expected[r].size()) << what;
        for (std::size_t p = 0; p < expected[r].size(); ++p) {
            const auto& cell = report.rows()[r].data(p);
            const auto& want = expected[r][p];
            EXPECT_NEAR(cell.work, want.work, 1e-9) << what << " row " << r << " period " << p;
            EXPECT_NEAR(cell.laborCost, want.labor, 1e-9) << what << " row " << r << " p " << p;
            EXPECT_NEAR(cell.materialsCost, want.materials, 1e-9)
                << what << " row " << r << " period " << p;
            EXPECT_EQ(report::isExceeded(cell, report.timeline()[p].availableHours, policy),
                      want.over)
                << what << " row " << r << " period " << p;
        }
    }
}

void expectTotals(const ProjectReport& report) {
    EXPECT_NEAR(report.total().work, 132.0, 1e-9);
    EXPECT_NEAR(report.total().laborCost, 433.0, 1e-9);
    EXPECT_NEAR(report.total().materialsCost, 37.0, 1e-9);
    ProjectReport::Value rows;
    for (const auto& row : report.rows()) {
        rows.work += row.total().work;
        rows.laborCost += row.total().laborCost;
    }
    EXPECT_NEAR(rows.work, 132.0, 1e-9);
    EXPECT_NEAR(rows.laborCost, 433.0, 1e-9);
}

// The twelve days, one column each.
const std::vector<std::vector<Cell>> kDays = {
    {{kA5 + 3, 0, 0, true},
     {kA5 + 3, 0, 0, true},
     {kA5},
     {kA5},
     {kA5},
     {0, 10, 2},
     {0, 10, 2},
     {4 + kT8, kA33, 5},
     {4 + kT8, kA33, 5},
     {kT8, kA33, 5},
     {4},
     {4}},
    {{kB5}, {kB5}, {kB5}, {kB5}, {kB5}, {}, {}, {2, kB66, 5}, {2, kB66, 5}, {0, kB66, 5}, {}, {}},
    {{6},
     {6},
     {6, 100},
     {8, 5},
     {8, 5},
     {5, 4, 0, true},
     {5, 4, 0, true},
     {},
     {},
     {6},
     {6},
     {0, -5, 3}},
};

// Monday to Saturday, then Sunday to Friday: weeks start on Sunday in every locale.
std::vector<std::vector<Cell>> weeks(bool any) {
    return {
        {{2 * (kA5 + 3) + 3 * kA5, 10, 2, any}, {8 + 3 * kT8 + 8, 110, 17}},
        {{5 * kB5}, {4, 200, 15}},
        {{39, 114, 0, any}, {17, -1, 3, any}},
    };
}

void expectFixture(const char* zone, const char* locale, int year, int month, int day,
                   const std::vector<std::vector<Cell>>& monthsAny,
                   const std::vector<std::vector<Cell>>& monthsOverall) {
    const core::ScopedCalendarOverride pin(zone, locale);
    const auto calendar = core::Calendar::current();
    const auto monday = core::Calendar::dayNumberFromCivil(year, month, day);
    ASSERT_EQ(core::Calendar::weekdayOfDayNumber(monday), 2);
    auto plan = fixturePlan(calendar, monday);
    // The Sunday is 23 hours long.
    EXPECT_EQ(plan.day(7).timeIntervalSince(plan.day(6)), 23 * 3600.0);

    using Policy = report::ReportRender::ExceedPolicy;
    const auto daily = report::detail::buildReport(Period::Kind::day, plan.input(), calendar);
    expectCells(*daily, kDays, Policy::any, "day/any");
    expectCells(*daily, kDays, Policy::overrall, "day/overrall");
    expectTotals(*daily);
    EXPECT_EQ(daily->timeline()[6].period.date(), plan.day(6));
    EXPECT_EQ(daily->droppedContributions(), 0U);

    const auto weekly = report::detail::buildReport(Period::Kind::week, plan.input(), calendar);
    expectCells(*weekly, weeks(true), Policy::any, "week/any");
    expectCells(*weekly, weeks(false), Policy::overrall, "week/overrall");
    expectTotals(*weekly);
    EXPECT_EQ(weekly->timeline()[1].period.date(), plan.day(6));
    EXPECT_EQ(weekly->timeline()[0].availableHours, 40.0);

    const auto monthly = report::detail::buildReport(Period::Kind::month, plan.input(), calendar);
    expectCells(*monthly, monthsAny, Policy::any, "month/any");
    expectCells(*monthly, monthsOverall, Policy::overrall, "month/overrall");
    expectTotals(*monthly);
}

TEST(ReportBuilder, HandComputedFixtureInNewYorkSundayFirst) {
    // 4 to 15 March 2024; clocks go forward on Sunday 10 March. One month column.
    const double aWork = 2 * (kA5 + 3) + 3 * kA5 + 8 + 3 * kT8 + 8;
    auto months = [&](bool any) {
        return std::vector<std::vector<Cell>>{
            {{aWork, 120, 19, any}}, {{5 * kB5 + 4, 200, 15}}, {{56, 113, 3, any}}};
    };
    expectFixture("America/New_York", "en_US", 2024, 3, 4, months(true), months(false));
}

TEST(ReportBuilder, HandComputedFixtureInBerlinMondayFirst) {
    // 25 March to 5 April 2024; clocks go forward on Sunday 31 March, which ends March.
    const std::vector<std::vector<Cell>> any = {
        {{2 * (kA5 + 3) + 3 * kA5, 20, 4, true}, {8 + 3 * kT8 + 8, 100, 15}},
        {{5 * kB5}, {4, 200, 15}},
        {{44, 118, 0, true}, {12, -5, 3}},
    };
    std::vector<std::vector<Cell>> overall = any;
    overall[0][0].over = false;
    // 44 h in a column of five working days (40 h).
    overall[2][0].over = true;
    expectFixture("Europe/Berlin", "de_DE", 2024, 3, 25, any, overall);
}

TEST(ReportBuilder, RowsFollowTheTeamAndTheLastDuplicateIdWins) {
    const core::ScopedCalendarOverride pin("Europe/Berlin", "de_DE");
    const auto calendar = core::Calendar::current();
    PlanBuilder plan(calendar, core::Calendar::dayNumberFromCivil(2024, 3, 4), 5);
    plan.member(7, "first").member(3, "other").member(7, "second");
    work(plan.task(0, 1), WorkKind::fixDailyWork, 8);
    plan.assign({{7, 100, 1}});
    const auto report = report::detail::buildReport(Period::Kind::day, plan.input(), calendar);
    ASSERT_EQ(report->rows().size(), 4U);
    EXPECT_EQ(report->rows()[0].total().work, 0.0);
    EXPECT_EQ(report->rows()[2].total().work, 8.0);
    EXPECT_EQ(report->rows()[3].name(), "--- not assigned ---");
    EXPECT_FALSE(report->rows()[3].memberID());

    // An empty team: one row carrying everything.
    PlanBuilder alone(calendar, core::Calendar::dayNumberFromCivil(2024, 3, 4), 5);
    cost(work(alone.task(0, 2), WorkKind::fixAmount, 3), 4, 0);
    const auto single = report::detail::buildReport(Period::Kind::week, alone.input(), calendar);
    ASSERT_EQ(single->rows().size(), 1U);
    EXPECT_EQ(single->rows()[0].total(), single->total());
    EXPECT_EQ(single->total().work, 3.0);
    EXPECT_EQ(single->total().laborCost, 4.0);
}

TEST(ReportBuilder, ZeroUnitsZeroRatesMilestonesAndNonFiniteCosts) {
    const core::ScopedCalendarOverride pin("America/New_York", "en_US");
    const auto calendar = core::Calendar::current();
    PlanBuilder plan(calendar, core::Calendar::dayNumberFromCivil(2024, 3, 4), 5);
    plan.member(1, "A").member(2, "B");
    // Units 1.5 but every rate 0: work is shared, the cost goes to "not assigned" (20/2, 6/2).
    cost(work(plan.task(0, 2), WorkKind::fixDailyWork, 4), 20, 6);
    plan.assign({{1, 100, 0}, {2, 50, 0}});
    // An assignee at 0 %: no units, so work and cost both go to "not assigned".
    cost(work(plan.task(2, 3), WorkKind::fixDailyWork, 5), 7, 0);
    plan.assign({{1, 0, 10}});
    // A milestone with a paid assignee still goes whole to "not assigned".
    cost(plan.milestone(3, 9), 50, 5);
    plan.assign({{1, 100, 10}});
    // A non-finite cost is left out alone; the other cost of the task still counts. The second
    // task is given by resource: 8 h for B.
    cost(plan.task(4, 5), std::numeric_limits<double>::quiet_NaN(), 9);
    cost(plan.task(4, 5), 6, std::numeric_limits<double>::infinity());
    plan.assign({{2, 100, 2}});
    ::testing::internal::CaptureStdout();
    const auto report = report::detail::buildReport(Period::Kind::day, plan.input(), calendar);
    // Each left-out amount is a warning naming the building operation.
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("A non-finite labour cost amount of a task is left out of the report \t{ ("),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(").(init(periodKind:project:)).(#"), std::string::npos) << log;
    const std::vector<std::vector<Cell>> expected = {
        {{8.0 / 3.0}, {8.0 / 3.0}, {}, {}, {}},
        {{4.0 / 3.0}, {4.0 / 3.0}, {}, {}, {8, 6, 0}},
        {{0, 10, 3}, {0, 10, 3}, {5, 7}, {0, 50, 5}, {0, 0, 9}},
    };
    expectCells(*report, expected, report::ReportRender::ExceedPolicy::any, "zero units");
    EXPECT_NEAR(report->total().work, 21.0, 1e-12);
    EXPECT_EQ(report->total().laborCost, 83.0);
    EXPECT_EQ(report->total().materialsCost, 20.0);
}

TEST(ReportBuilder, WeekAndMonthColumnsAcrossTheYearsEnd) {
    // Wednesday 25 December 2024 to Friday 10 January 2025; day d of the plan carries d + 1 hours.
    for (const char* locale : {"en_US", "de_DE"}) {
        const core::ScopedCalendarOverride pin("Europe/Berlin", locale);
        const auto calendar = core::Calendar::current();
        PlanBuilder plan(calendar, core::Calendar::dayNumberFromCivil(2024, 12, 25), 17);
        plan.member(1, "A");
        for (std::int64_t d = 0; d < 17; ++d) {
            work(plan.task(d, d + 1), WorkKind::fixDailyWork, static_cast<double>(d + 1));
            plan.assign({{1, 100, 1}});
        }
        using Policy = report::ReportRender::ExceedPolicy;
        const report::ReportRender render(
            report::ReportRender::DecimalPlaces::none, report::ReportRender::CurrencyDisplay::atEnd,
            report::ReportRender::WeekDisplay::week, report::ReportRender::MonthDisplay::month,
            Policy::any, locale);
        // 25-28 Dec: 1 + 2 + 3; 29 Dec - 4 Jan: 6 + ... + 10; 5-10 Jan: 13 + ... + 17.
        const auto weekly = report::detail::buildReport(Period::Kind::week, plan.input(), calendar);
        expectCells(*weekly, {{{6}, {40, 0, 0, true}, {75, 0, 0, true}}, {{}, {}, {}}}, Policy::any,
                    locale);
        expectCells(*weekly, {{{6}, {40}, {75, 0, 0, true}}, {{}, {}, {}}}, Policy::overrall,
                    locale);
        EXPECT_EQ(weekly->timeline()[0].availableHours, 24.0);
        EXPECT_EQ(weekly->timeline()[1].period.date(), plan.day(4));
        const bool us = std::string(locale) == "en_US";
        EXPECT_EQ(render.periodTitle(weekly->timeline()[0].period), "W52");
        EXPECT_EQ(render.periodTitle(weekly->timeline()[1].period), us ? "W1" : "W52");
        EXPECT_EQ(render.periodTitle(weekly->timeline()[2].period), us ? "W2" : "W1");

        // December has 5 working days here and no day over 8 h; January has 8.
        const auto monthly =
            report::detail::buildReport(Period::Kind::month, plan.input(), calendar);
        expectCells(*monthly, {{{19}, {102, 0, 0, true}}, {{}, {}}}, Policy::any, locale);
        expectCells(*monthly, {{{19}, {102, 0, 0, true}}, {{}, {}}}, Policy::overrall, locale);
        EXPECT_EQ(monthly->timeline()[1].availableHours, 64.0);
        if (us) {
            EXPECT_EQ(render.periodTitle(monthly->timeline()[1].period), "Jan 2025");
        }
    }
}

TEST(ReportBuilder, WeekAndMonthColumnsGatherTheirDaysOfADayReport) {
    // Random plans, some finishes at odd hours, across both zones' clock changes: every longer
    // column holds exactly its days' amounts, hours and marks.
    using Policy = report::ReportRender::ExceedPolicy;
    for (const char* zone : {"America/New_York", "Europe/Berlin"}) {
        const core::ScopedCalendarOverride pin(zone, "en_US");
        const auto calendar = core::Calendar::current();
        std::mt19937 random(42);
        auto below = [&](std::uint32_t n) { return static_cast<std::int64_t>(random() % n); };
        for (int round = 0; round < 20; ++round) {
            const std::int64_t span = 40 + below(400);
            PlanBuilder plan(calendar, core::Calendar::dayNumberFromCivil(2023, 10, 1) + below(200),
                             span);
            for (std::int64_t m = 1; m <= 4; ++m) {
                plan.member(m, "M");
            }
            for (int t = 0; t < 60; ++t) {
                const std::int64_t from = below(static_cast<std::uint32_t>(span));
                const std::int64_t to = std::min(span, from + 1 + below(20));
                const double finishHours =
                    to < span && below(3) == 0 ? 1.0 + static_cast<double>(below(22)) : 0.0;
                const WorkKind kinds[] = {WorkKind::byResource, WorkKind::fixDailyWork,
                                          WorkKind::fixAmount};
                cost(work(plan.task(from, to, finishHours), kinds[below(3)],
                          static_cast<double>(below(50)) / 3.0),
                     static_cast<double>(below(500) - 50), static_cast<double>(below(100)));
                for (std::int64_t a = below(4); a > 0; --a) {
                    // Member 5 is not in the team.
                    plan.assign({{1 + below(5), below(101), static_cast<double>(below(30))}});
                }
            }
            const auto daily =
                report::detail::buildReport(Period::Kind::day, plan.input(), calendar);
            for (auto kind : {Period::Kind::week, Period::Kind::month}) {
                const auto longer = report::detail::buildReport(kind, plan.input(), calendar);
                const std::size_t columns = longer->timeline().size();
                std::vector<double> available(columns);
                for (std::size_t r = 0; r < daily->rows().size(); ++r) {
                    std::vector<Cell> expected(columns);
                    for (std::size_t i = 0; i < daily->timeline().size(); ++i) {
                        const auto p = static_cast<std::size_t>(report::periodIndex(
                            daily->timeline()[i].period.date(), longer->timeline()[0].period));
                        const auto& day = daily->rows()[r].data(i);
                        expected[p].work += day.work;
                        expected[p].labor += day.laborCost;
                        expected[p].materials += day.materialsCost;
                        expected[p].over =
                            expected[p].over ||
                            report::isExceeded(day, daily->timeline()[i].availableHours,
                                               Policy::any);
                        available[p] += r == 0 ? daily->timeline()[i].availableHours : 0.0;
                    }
                    for (std::size_t p = 0; p < columns; ++p) {
                        const auto& cell = longer->rows()[r].data(p);
                        ASSERT_NEAR(cell.work, expected[p].work, 1e-9);
                        ASSERT_NEAR(cell.laborCost, expected[p].labor, 1e-9);
                        ASSERT_NEAR(cell.materialsCost, expected[p].materials, 1e-9);
                        ASSERT_EQ(report::isExceeded(cell, 0.0, Policy::any), expected[p].over)
                            << zone << " row " << r << " column " << p;
                        ASSERT_EQ(longer->timeline()[p].availableHours, available[p]);
                    }
                }
            }
        }
    }
}

TEST(ReportBuilder, DropsWhatFallsOutsideTheSpan) {
    const core::ScopedCalendarOverride pin("America/New_York", "en_US");
    const auto calendar = core::Calendar::current();
    PlanBuilder plan(calendar, core::Calendar::dayNumberFromCivil(2024, 3, 4), 3);
    // Mon to Fri, but the root's span ends on Wednesday: two days are dropped, the divisor
    // still counts them.
    work(plan.task(0, 5), WorkKind::fixAmount, 10);
    const auto report = report::detail::buildReport(Period::Kind::day, plan.input(), calendar);
    EXPECT_EQ(report->timeline().size(), 3U);
    EXPECT_EQ(report->droppedContributions(), 2U);
    EXPECT_DOUBLE_EQ(report->total().work, 6.0);
}

} // namespace
