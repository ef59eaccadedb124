#include "report/project_report.hpp"
#include "report/report_csv.hpp"
#include "report/report_render.hpp"

#include "document/data_map_service.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_project_calendar.hpp"
#include "document/zoz_project_task.hpp"
#include "document/zoz_project_team.hpp"
#include "project_generator.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

namespace {

using report::Period;
using report::ProjectReport;

struct Carried {
    double work = 0;
    double labor = 0;
    double materials = 0;
};

// What the counted tasks carry, worked out task by task from the model, independently of the
// builder: the hours a task spreads over its visited days, and its two costs.
Carried carriedByTasks(document::ZozProject& project) {
    const auto calendar = core::Calendar::current();
    auto& workingDays = project.calendar();
    Carried carried;
    std::vector<document::ZozProjectTask*> stack{project.root().get()};
    bool first = true;
    while (!stack.empty()) {
        auto* task = stack.back();
        stack.pop_back();
        for (const auto& child : task->childs()) {
            stack.push_back(child.get());
        }
        if (first) {
            first = false;
            continue;
        }
        const std::int64_t a = calendar.localDayNumber(task->start());
        const std::int64_t b = std::max(a, calendar.localDayNumber(task->finishForDisplay()));
        std::int64_t working = 0;
        for (std::int64_t d = a; d <= b; ++d) {
            working += workingDays.isWorkingDayNumber(d) ? 1 : 0;
        }
        const auto& resources = task->resources();
        const bool single = task->isSingleTask() && task->duration() >= 1;
        if (single) {
            const auto& work = task->workData();
            if (work.isFixDailyWork()) {
                carried.work += work.amount() * static_cast<double>(working);
            } else if (work.isFixAmount()) {
                carried.work += work.amount();
            } else {
                for (const auto& assignment : resources.assignments()) {
                    carried.work += static_cast<double>(assignment->workload()) *
                                    project.dailyWorkingHours() / 100.0 *
                                    static_cast<double>(working);
                }
            }
        }
        const bool milestone = task->isMilestone() && !task->hasChilds();
        if (single || milestone) {
            const double labor = task->laborCost();
            const double materials = task->materialsCost();
            if (labor > 0 || materials > 0) {
                carried.labor += labor;
                carried.materials += materials;
            }
        }
    }
    return carried;
}

double tolerance(double value) {
    return 1e-9 * std::max(1.0, std::fabs(value));
}

void expectInvariants(const bench::ProjectPlan& plan) {
    const auto json = bench::generateJsonProject(plan);
    const auto project = document::DataMapService::map(json);
    ASSERT_TRUE(project);
    const Carried carried = carriedByTasks(*project);
    EXPECT_GT(carried.work, 0.0);
    EXPECT_GT(carried.labor, 0.0);
    for (const auto kind : {Period::Kind::day, Period::Kind::week, Period::Kind::month}) {
        const auto report = ProjectReport::make(kind, *project);
        EXPECT_EQ(report->droppedContributions(), 0U);
        // The span read from the leaves is the root's own.
        const auto calendar = core::Calendar::current();
        EXPECT_EQ(report->timeline().front().period.date(),
                  calendar.startOfDay(project->root()->start()));
        if (kind == Period::Kind::day) {
            EXPECT_EQ(calendar.localDayNumber(report->timeline().back().period.date()),
                      calendar.localDayNumber(project->root()->finishForDisplay()));
        }
        EXPECT_EQ(report->rows().size(), project->team().count() + 1);
        ProjectReport::Value rows;
        for (const auto& row : report->rows()) {
            rows.work += row.total().work;
            rows.laborCost += row.total().laborCost;
            rows.materialsCost += row.total().materialsCost;
            ProjectReport::Value periods;
            for (std::size_t p = 0; p < row.periodCount(); ++p) {
                periods.work += row.data(p).work;
                periods.laborCost += row.data(p).laborCost;
            }
            EXPECT_NEAR(periods.work, row.total().work, tolerance(row.total().work));
            EXPECT_NEAR(periods.laborCost, row.total().laborCost, tolerance(periods.laborCost));
        }
        ProjectReport::Value periods;
        for (const auto& info : report->timeline()) {
            periods.work += info.total.work;
            periods.laborCost += info.total.laborCost;
            periods.materialsCost += info.total.materialsCost;
        }
        const auto& total = report->total();
        for (const auto& [sum, expected] :
             {std::pair{rows.work, total.work}, std::pair{periods.work, total.work},
              std::pair{carried.work, total.work}, std::pair{rows.laborCost, total.laborCost},
              std::pair{periods.laborCost, total.laborCost},
              std::pair{carried.labor, total.laborCost},
              std::pair{rows.materialsCost, total.materialsCost},
              std::pair{periods.materialsCost, total.materialsCost},
              std::pair{carried.materials, total.materialsCost}}) {
            EXPECT_NEAR(sum, expected, tolerance(expected)) << static_cast<int>(kind);
        }
        // Rendering and the CSV text hold one item per cell, whatever the member ids.
        const report::ReportRender render(
            report::ReportRender::DecimalPlaces::maxTwo,
            report::ReportRender::CurrencyDisplay::atEnd, report::ReportRender::WeekDisplay::week,
            report::ReportRender::MonthDisplay::month, report::ReportRender::ExceedPolicy::any);
        const auto snapshot =
            report::makeSnapshot(*report, ProjectReport::ValueKind::work(), *project, render);
        const std::size_t columns = report->timeline().size();
        EXPECT_EQ(snapshot.numberOfItems(),
                  2 * columns + 1 + report->rows().size() * (columns + 2));
        const auto csv =
            report::reportCsv(ProjectReport::ValueKind::work(), *project, render, *report);
        EXPECT_GE(static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')),
                  report->rows().size() + 2);
    }
}

TEST(ReportInvariants, GeneratedProjectsKeepEveryTotal) {
    const core::ScopedCalendarOverride pin("Europe/Berlin", "de_DE");
    expectInvariants(bench::ProjectPlan::tiny());
    for (std::uint64_t seed = 2; seed <= 3; ++seed) {
        bench::ProjectPlan plan;
        plan.seed = seed;
        plan.taskCount = 300;
        plan.memberCount = 12;
        plan.years = 2;
        plan.maxDepth = 4;
        plan.photoSide = 0;
        expectInvariants(plan);
    }
}

TEST(ReportInvariants, HoldAcrossAmericanDaylightSaving) {
    const core::ScopedCalendarOverride pin("America/New_York", "en_US");
    bench::ProjectPlan plan = bench::ProjectPlan::tiny();
    plan.seed = 7;
    expectInvariants(plan);
}

} // namespace
