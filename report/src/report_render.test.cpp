#include "report/report_render.hpp"

#include "report/csv_writer.hpp"
#include "report/report_csv.hpp"
#include "report_fixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

using report::Period;
using report::ProjectReport;
using report::ReportRender;
using report::detail::WorkKind;
using report::testing::cost;
using report::testing::PlanBuilder;
using report::testing::work;
using Kind = ProjectReport::ValueKind;
using Places = ReportRender::DecimalPlaces;
using Currency = ReportRender::CurrencyDisplay;

ReportRender makeRender(Places places, Currency currency = Currency::atEnd,
                        const char* locale = "en_US",
                        ReportRender::WeekDisplay week = ReportRender::WeekDisplay::week,
                        ReportRender::MonthDisplay month = ReportRender::MonthDisplay::month,
                        ReportRender::ExceedPolicy policy = ReportRender::ExceedPolicy::any) {
    return ReportRender(places, currency, week, month, policy, locale);
}

TEST(ReportRender, FormatsNumbersHalfEvenWithoutGroupingOrNegativeZero) {
    EXPECT_EQ(makeRender(Places::maxTwo).formatNumber(1.5), "1.5");
    EXPECT_EQ(makeRender(Places::maxTwo).formatNumber(1.257), "1.26");
    EXPECT_EQ(makeRender(Places::fixedTwo).formatNumber(1.5), "1.50");
    EXPECT_EQ(makeRender(Places::none).formatNumber(2.6), "3");
    EXPECT_EQ(makeRender(Places::none).formatNumber(2.5), "2");
    EXPECT_EQ(makeRender(Places::none).formatNumber(3.5), "4");
    EXPECT_EQ(makeRender(Places::maxOne, Currency::atEnd, "de_DE").formatNumber(1.5), "1,5");
    EXPECT_EQ(makeRender(Places::maxOne).formatNumber(12345.5), "12345.5");
    EXPECT_EQ(makeRender(Places::maxFour).formatNumber(0.5), "0.5");
    EXPECT_EQ(makeRender(Places::fixedFour).formatNumber(-0.25), "-0.2500");
    EXPECT_EQ(makeRender(Places::maxTwo).formatNumber(-0.001), "0");
    EXPECT_EQ(makeRender(Places::maxTwo).formatNumber(-0.0), "0");
    EXPECT_EQ(makeRender(Places::fixedOne).formatNumber(1.0 / 3.0), "0.3");
    EXPECT_EQ(ReportRender::decimalPlacesFromRaw(8), Places::fixedFour);
    EXPECT_FALSE(ReportRender::decimalPlacesFromRaw(9));
    EXPECT_FALSE(ReportRender::currencyDisplayFromRaw(3));
}

TEST(ReportRender, PlacesTheCurrencyAndHidesZero) {
    EXPECT_EQ(makeRender(Places::none, Currency::atStart).formatValue(12, "$", true), "$12");
    EXPECT_EQ(makeRender(Places::none, Currency::atEnd).formatValue(12, "$", true), "12$");
    EXPECT_EQ(makeRender(Places::none, Currency::none).formatValue(12, "$", true), "12");
    EXPECT_EQ(makeRender(Places::none, Currency::atStart).formatValue(0.0, "$", true), "");
    EXPECT_EQ(makeRender(Places::none, Currency::atStart).formatValue(0.0, "$", false), "$0");

    ProjectReport::Value total;
    const auto render = makeRender(Places::maxTwo, Currency::atStart);
    EXPECT_EQ(report::summaryTotalText(total, Kind::work(), "$", render), "0");
    EXPECT_EQ(
        report::summaryTotalText(total, Kind::cost(ProjectReport::CostKind::all), "€", render),
        "€0");
    total.work = 8;
    total.laborCost = 10;
    total.materialsCost = 2.5;
    EXPECT_EQ(report::summaryTotalText(total, Kind::work(), "$", render), "8");
    EXPECT_EQ(
        report::summaryTotalText(total, Kind::cost(ProjectReport::CostKind::all), "$", render),
        "$12.5");
    EXPECT_EQ(report::summaryTotalText(total, Kind::cost(ProjectReport::CostKind::laborOnly), "$",
                                       render),
              "$10");
    EXPECT_EQ(report::summaryTotalText(total, Kind::cost(ProjectReport::CostKind::materialsOnly),
                                       "$", render),
              "$2.5");
}

TEST(ReportRender, ElementsHashTheirPlaceAndCompareEverything) {
    using E = ProjectReport::Element;
    const std::hash<E> hash;
    const E a{E::Value{0, 4, core::Date(100), "8", false}};
    const E b{E::Value{0, 4, core::Date(100), "9", false}};
    const E c{E::Value{0, 4, core::Date(100), "8", true}};
    EXPECT_EQ(hash(a), hash(b));
    EXPECT_EQ(hash(a), hash(c));
    EXPECT_NE(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(a, (E{E::Value{0, 4, core::Date(100), "8", false}}));
    EXPECT_NE((E{E::Member{0, 4, "x"}}), (E{E::MemberSubtotal{0, 4, "x"}}));
    // Two rows with the same member id are still two items.
    EXPECT_NE((E{E::Member{0, 4, "x"}}), (E{E::Member{1, 4, "x"}}));
    EXPECT_NE(Kind::work(), Kind::cost(ProjectReport::CostKind::all));
    EXPECT_EQ(Kind::cost(ProjectReport::CostKind::laborOnly),
              Kind::cost(ProjectReport::CostKind::laborOnly));
}

// Members A (1) and B (2) over Monday 4 to Wednesday 6 March 2024.
std::shared_ptr<const ProjectReport> smallReport(Period::Kind kind) {
    const auto calendar = core::Calendar::current();
    PlanBuilder plan(calendar, core::Calendar::dayNumberFromCivil(2024, 3, 4), 3);
    plan.member(1, "A").member(2, "B");
    cost(work(plan.task(0, 1), WorkKind::fixDailyWork, 9), 30, 0);
    plan.assign({{1, 100, 10}});
    work(plan.task(1, 2), WorkKind::fixDailyWork, 9);
    plan.assign({{2, 100, 10}});
    work(plan.task(1, 2), WorkKind::fixDailyWork, 6);
    plan.assign({{1, 100, 10}});
    return report::detail::buildReport(kind, plan.input(), calendar);
}

TEST(ReportRender, SnapshotSectionsTextsAndMarks) {
    const core::ScopedCalendarOverride pin("America/New_York", "en_US");
    const auto report = smallReport(Period::Kind::day);
    const auto render = makeRender(Places::maxTwo, Currency::atEnd);
    const auto snapshot = report::makeSnapshot(*report, Kind::work(), "$", render);
    ASSERT_EQ(snapshot.sectionIdentifiers(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(snapshot.numberOfItems(0), 4U);
    EXPECT_EQ(snapshot.numberOfItems(1), 3U);
    EXPECT_EQ(snapshot.numberOfItems(2), 5U);
    EXPECT_EQ(snapshot.numberOfItems(4), 5U);

    using E = ProjectReport::Element;
    const auto titles = snapshot.itemIdentifiers(0);
    EXPECT_EQ(std::get<E::Summary>(titles[0].payload).text, "24");
    EXPECT_EQ(std::get<E::Timeline>(titles[1].payload).text, "3/4/2024");
    const auto totals = snapshot.itemIdentifiers(1);
    // Work never shows a currency.
    EXPECT_EQ(std::get<E::PeriodSubtotal>(totals[1].payload).text, "15");
    EXPECT_EQ(std::get<E::PeriodSubtotal>(totals[2].payload).text, "");
    const auto a = snapshot.itemIdentifiers(2);
    EXPECT_EQ(std::get<E::Member>(a[0].payload).name, "A");
    EXPECT_EQ(std::get<E::MemberSubtotal>(a[1].payload).text, "15");
    const auto& monday = std::get<E::Value>(a[2].payload);
    EXPECT_EQ(monday.text, "9");
    EXPECT_TRUE(monday.exceed);
    EXPECT_FALSE(std::get<E::Value>(a[3].payload).exceed);
    EXPECT_EQ(std::get<E::Value>(a[4].payload).text, "");
    EXPECT_FALSE(std::get<E::Value>(a[4].payload).exceed);
    const auto none = snapshot.itemIdentifiers(4);
    EXPECT_EQ(std::get<E::Member>(none[0].payload).name, "--- not assigned ---");
    EXPECT_FALSE(std::get<E::Member>(none[0].payload).memberID);

    const auto costs =
        report::makeSnapshot(*report, Kind::cost(ProjectReport::CostKind::all), "$", render);
    const auto aCosts = costs.itemIdentifiers(2);
    EXPECT_EQ(std::get<E::Value>(aCosts[2].payload).text, "30$");
    EXPECT_FALSE(std::get<E::Value>(aCosts[2].payload).exceed);
    EXPECT_EQ(std::get<E::Summary>(costs.itemIdentifiers(0)[0].payload).text, "30$");
}

// A grid large enough to be made in several parts of several rows each: every row lands in
// its own section, in order, with the cells the one-row functions make.
TEST(ReportRender, LargeSnapshotHoldsEveryRowInItsPlace) {
    const core::ScopedCalendarOverride pin("America/New_York", "en_US");
    const auto calendar = core::Calendar::current();
    constexpr std::int64_t kDays = 3 * 366;
    constexpr std::int64_t kMembers = 45;
    PlanBuilder plan(calendar, core::Calendar::dayNumberFromCivil(2024, 3, 4), kDays);
    for (std::int64_t id = 1; id <= kMembers; ++id) {
        plan.member(id, "Member " + std::to_string(id));
    }
    for (std::int64_t id = 1; id <= kMembers; ++id) {
        // Each member works its own stretch, so that rows differ and some go over a day.
        const std::int64_t from = (id * 23) % (kDays - 40);
        cost(work(plan.task(from, from + 30), WorkKind::fixDailyWork, double(id % 11)),
             double(id * 7), 1);
        plan.assign({{id, 100, 10.0 + double(id)}});
    }
    const auto report = report::detail::buildReport(Period::Kind::day, plan.input(), calendar);
    const auto render = makeRender(Places::maxTwo, Currency::atEnd);
    for (const Kind kind : {Kind::work(), Kind::cost(ProjectReport::CostKind::all)}) {
        const auto snapshot = report::makeSnapshot(*report, kind, "$", render);
        const auto& rows = report->rows();
        ASSERT_EQ(rows.size(), std::size_t(kMembers + 1));
        ASSERT_EQ(snapshot.numberOfSections(), rows.size() + 2);
        using E = ProjectReport::Element;
        std::vector<E> titles{
            {E::Summary{report::summaryTotalText(report->total(), kind, "$", render)}}};
        for (auto& cell : report::makeTimelineCells(report->timeline(), render)) {
            titles.push_back(std::move(cell));
        }
        EXPECT_TRUE(std::ranges::equal(snapshot.itemsAt(0), titles));
        EXPECT_TRUE(std::ranges::equal(
            snapshot.itemsAt(1),
            report::makePeriodSubtotalCells(report->timeline(), render, kind, "$")));
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const auto items = snapshot.itemsAt(k + 2);
            ASSERT_EQ(items.size(), report->timeline().size() + 2) << k;
            EXPECT_EQ(std::get<E::Member>(items[0].payload).row, k);
            EXPECT_EQ(std::get<E::Member>(items[0].payload).name, rows[k].name());
            EXPECT_EQ(
                std::get<E::MemberSubtotal>(items[1].payload).text,
                render.formatValue(rows[k].total().amount(kind), kind.isCost() ? "$" : "", true))
                << k;
            EXPECT_TRUE(std::ranges::equal(items.subspan(2),
                                           report::makeValueCells(*report, k, kind, render, "$")))
                << k;
        }
        EXPECT_EQ(snapshot.numberOfItems(), 2 * report->timeline().size() + 1 +
                                                rows.size() * (report->timeline().size() + 2));
    }
}

TEST(ReportRender, ExceedPoliciesCompareEachDayOfTheMember) {
    const core::ScopedCalendarOverride pin("America/New_York", "en_US");
    // One week column: A has [9] on Monday and [6] on Tuesday (15 h ≤ 24 h available).
    const auto report = smallReport(Period::Kind::week);
    const auto& a = report->rows()[0].data(0);
    EXPECT_EQ(a.work, 15.0);
    EXPECT_TRUE(report::isExceeded(a, report->timeline()[0].availableHours,
                                   ReportRender::ExceedPolicy::any));
    EXPECT_FALSE(report::isExceeded(a, report->timeline()[0].availableHours,
                                    ReportRender::ExceedPolicy::overrall));

    // Two tasks of 5 h on the same day: 10 h > 8 h, whichever policy, although no single entry
    // passes 8 h.
    const auto calendar = core::Calendar::current();
    PlanBuilder plan(calendar, core::Calendar::dayNumberFromCivil(2024, 3, 4), 1);
    plan.member(1, "A");
    work(plan.task(0, 1), WorkKind::fixDailyWork, 5);
    plan.assign({{1, 100, 1}});
    work(plan.task(0, 1), WorkKind::fixDailyWork, 5);
    plan.assign({{1, 100, 1}});
    for (auto kind : {Period::Kind::day, Period::Kind::week, Period::Kind::month}) {
        const auto parallel = report::detail::buildReport(kind, plan.input(), calendar);
        for (auto policy :
             {ReportRender::ExceedPolicy::any, ReportRender::ExceedPolicy::overrall}) {
            EXPECT_TRUE(report::isExceeded(parallel->rows()[0].data(0),
                                           parallel->timeline()[0].availableHours, policy));
        }
    }
}

TEST(ReportRender, PeriodTitles) {
    const core::ScopedCalendarOverride pin("America/New_York", "en_US");
    const auto calendar = core::Calendar::current();
    const core::Date march4 = *calendar.dateFromLocal(2024, 3, 4);
    const core::Date jan2 = *calendar.dateFromLocal(2024, 1, 2);
    const auto render = makeRender(Places::none);
    EXPECT_EQ(render.periodTitle(Period(march4, Period::Kind::day)), "3/4/2024");
    EXPECT_EQ(render.periodTitle(Period(jan2, Period::Kind::week)), "W1");
    EXPECT_EQ(render.periodTitle(Period(march4, Period::Kind::month)), "Mar 2024");
    const auto firstDays =
        makeRender(Places::none, Currency::atEnd, "en_US", ReportRender::WeekDisplay::firstDay,
                   ReportRender::MonthDisplay::firstDay);
    EXPECT_EQ(firstDays.periodTitle(Period(jan2, Period::Kind::week)), "1/2/2024");
    EXPECT_EQ(firstDays.periodTitle(Period(march4, Period::Kind::month)), "3/4/2024");
    const auto german = makeRender(Places::none, Currency::atEnd, "de_DE");
    EXPECT_EQ(german.periodTitle(Period(march4, Period::Kind::day)), "4.3.2024");
}

TEST(ReportCsv, GridTextsAndGolden) {
    const core::ScopedCalendarOverride pin("America/New_York", "en_US");
    const auto report = smallReport(Period::Kind::day);
    const auto render = makeRender(Places::maxTwo, Currency::atEnd);
    const report::ReportCsvProject project{"Plan, \"v2\"", "$"};
    EXPECT_EQ(report::reportCsv(Kind::work(), project, render, *report),
              "\"Plan, \"\"v2\"\"\",,3/4/2024,3/5/2024,3/6/2024\n"
              ",24.0,9,15,\n"
              "A,15,9,6,\n"
              "B,9,,9,\n"
              "--- not assigned ---,,,,\n");
    EXPECT_EQ(report::reportCsv(Kind::cost(ProjectReport::CostKind::materialsOnly), project, render,
                                *report),
              "\"Plan, \"\"v2\"\"\",,3/4/2024,3/5/2024,3/6/2024\n"
              ",0.0,,,\n"
              "A,,,,\n"
              "B,,,,\n"
              "--- not assigned ---,,,,\n");
    EXPECT_EQ(report::reportCsvCellText(0, 0, Kind::work(), project, render, *report),
              "Plan, \"v2\"");
    EXPECT_EQ(report::reportCsvCellText(2, 5, Kind::work(), project, render, *report), "");
    EXPECT_EQ(report::reportCsvCellText(9, 0, Kind::work(), project, render, *report), "");
}

// Reads `csv` with Python's csv module and gives back its rows, one text per field.
std::vector<std::vector<std::string>> readWithPython(const std::string& csv) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("report_csv_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        std::ofstream out(dir / "in.csv", std::ios::binary);
        out << csv;
    }
    // Python writes each field as hex of its UTF-8 bytes, fields separated by spaces, one row a
    // line, so that no text needs escaping on the way back.
    const std::string script =
        "import csv,sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8') as f, open(sys.argv[2], 'w') as o:\n"
        "    for row in csv.reader(f):\n"
        "        o.write(' '.join('x' + c.encode('utf-8').hex() for c in row) + '\\n')\n";
    {
        std::ofstream out(dir / "read.py");
        out << script;
    }
    const std::string command = "python3 " + (dir / "read.py").string() + " " +
                                (dir / "in.csv").string() + " " + (dir / "out.txt").string();
    std::vector<std::vector<std::string>> rows;
    if (std::system(command.c_str()) != 0) {
        std::filesystem::remove_all(dir);
        return rows;
    }
    std::ifstream in(dir / "out.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> row;
        std::istringstream fields(line);
        std::string field;
        while (fields >> field) {
            std::string text;
            for (std::size_t i = 1; i + 1 < field.size(); i += 2) {
                text.push_back(static_cast<char>(std::stoi(field.substr(i, 2), nullptr, 16)));
            }
            row.push_back(text);
        }
        rows.push_back(row);
    }
    std::filesystem::remove_all(dir);
    return rows;
}

TEST(ReportCsv, PythonReadsBackTheGridTexts) {
    if (std::system("python3 -c 'import csv' >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const core::ScopedCalendarOverride pin("Europe/Berlin", "de_DE");
    const auto calendar = core::Calendar::current();
    PlanBuilder plan(calendar, core::Calendar::dayNumberFromCivil(2024, 3, 25), 12);
    plan.member(1, "Smith, John").member(2, "say \"hi\"").member(3, "a;b").member(4, "two\nlines");
    plan.member(5, "=HYPERLINK(\"x\")").member(6, "Zoë \r\n ünïcode");
    for (std::int64_t m = 1; m <= 6; ++m) {
        cost(work(plan.task(m, m + 4), WorkKind::fixAmount, 10.0 / static_cast<double>(m)), 7.5,
             1.25);
        plan.assign({{m, 100, 3}});
    }
    const auto report = report::detail::buildReport(Period::Kind::day, plan.input(), calendar);
    const report::ReportCsvProject project{"-Plan; \"Q2\",\nDE", "€"};
    for (const auto kind : {Kind::work(), Kind::cost(ProjectReport::CostKind::all)}) {
        const auto render = makeRender(Places::fixedTwo, Currency::atStart, "de_DE");
        const auto csv = report::reportCsv(kind, project, render, *report);
        const auto rows = readWithPython(csv);
        const std::size_t lines = report->rows().size() + 2;
        const std::size_t columns = report->timeline().size() + 2;
        ASSERT_EQ(rows.size(), lines);
        for (std::size_t line = 0; line < lines; ++line) {
            ASSERT_EQ(rows[line].size(), columns) << line;
            for (std::size_t column = 0; column < columns; ++column) {
                EXPECT_EQ(rows[line][column],
                          report::reportCsvCellText(line, column, kind, project, render, *report))
                    << line << "," << column;
            }
        }
        EXPECT_EQ(rows[0][0], "'-Plan; \"Q2\",\nDE");
        EXPECT_EQ(rows[6][0], "'=HYPERLINK(\"x\")");
        EXPECT_EQ(rows[7][0], "Zoë \r\n ünïcode");
        EXPECT_EQ(rows[8][0], "--- not assigned ---");
    }
}

} // namespace
