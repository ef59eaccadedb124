#include "report/project_report.hpp"

#include "document/zoz_project.hpp"
#include "document/zoz_project_calendar.hpp"
#include "document/zoz_project_member.hpp"
#include "document/zoz_project_task.hpp"
#include "document/zoz_project_team.hpp"
#include "report_fixture.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using document::ZozProjectMember;
using document::ZozProjectTask;
using document::ZozTaskLaborCost;
using document::ZozTaskWork;
using report::Period;
using report::ProjectReport;

// The builder's hand-computed fixture, made as a real project: the same twelve days, members
// and tasks, with a real group, a milestone that has a child, and a project-kind leaf.
class ModelPlan {
public:
    ModelPlan(const core::Calendar& calendar, std::int64_t monday)
        : m_calendar(calendar), m_monday(monday),
          m_project(document::ZozProject::create("uid", "Fixture")) {
        m_a = std::make_shared<ZozProjectMember>(1, "A", std::nullopt, std::nullopt, 10.0);
        m_b = std::make_shared<ZozProjectMember>(2, "B", std::nullopt, std::nullopt, 20.0);
        m_project->team().add(m_a);
        m_project->team().add(m_b);
        m_project->setDailyWorkingHours(8);
        build();
    }

    document::ZozProject& project() { return *m_project; }

private:
    core::Date day(std::int64_t offset, double hours = 0) const {
        return core::Date(m_calendar.startOfLocalDay(m_monday + offset).timeIntervalSince1970() +
                          hours * 3600);
    }

    ZozProjectTask::Ptr task(const ZozProjectTask::Ptr& parent, std::int64_t from, std::int64_t to,
                             double finishHours = 0, double fromHours = 0) {
        auto made =
            m_project->createChild(parent, ++m_lastId, day(from, fromHours), day(to, finishHours));
        made->setLaborCost(ZozTaskLaborCost::fix(0));
        return made;
    }

    static void costs(const ZozProjectTask::Ptr& task, double labor, double materials) {
        task->setLaborCost(ZozTaskLaborCost::fix(labor));
        task->setMaterialsCost(materials);
    }

    void build() {
        const auto root = m_project->root();
        task(root, 0, 5)->setWork(ZozTaskWork::fixDailyWork(6));
        auto t2 = task(root, 7, 9);
        t2->setWork(ZozTaskWork::fixDailyWork(6));
        t2->resources().addOrUpdateResource(m_a, 100);
        t2->resources().addOrUpdateResource(m_b, 50);
        auto t3 = task(root, 5, 7);
        t3->setWork(ZozTaskWork::fixAmount(10));
        costs(t3, 20, 4);
        t3->resources().addOrUpdateResource(m_a, 100);
        task(root, 9, 11)->setWork(ZozTaskWork::fixAmount(12));
        auto t5 = task(root, 0, 5);
        t5->setWork(ZozTaskWork::fixAmount(40));
        t5->resources().addOrUpdateResource(m_a, 100);
        t5->resources().addOrUpdateResource(m_b, 50);
        // A real group around the by-resource task.
        auto group = task(root, 10, 12);
        auto t6 = task(group, 10, 12);
        t6->setWork(ZozTaskWork::byResource());
        t6->resources().addOrUpdateResource(m_a, 50);
        task(root, 0, 2)->setWork(ZozTaskWork::byResource());
        auto t8 = task(root, 7, 9, 12);
        t8->setWork(ZozTaskWork::fixAmount(10));
        t8->resources().addOrUpdateResource(m_a, 100);
        // A milestone is one day before its stored finish: Wednesday noon.
        auto milestone = task(root, 2, 3, 12, 12);
        milestone->setTaskType(document::ZozProjectTaskType::milestone);
        costs(milestone, 100, 0);
        auto c2 = task(root, 7, 10);
        c2->setWork(ZozTaskWork::fixDailyWork(0));
        costs(c2, 300, 30);
        c2->resources().addOrUpdateResource(m_a, 100);
        c2->resources().addOrUpdateResource(m_b, 100);
        costs(task(root, 11, 12), -5, 3);
        costs(task(root, 5, 7), 8, 0);
        auto orphan = task(root, 3, 5);
        orphan->setWork(ZozTaskWork::fixDailyWork(2));
        costs(orphan, 10, 0);
        orphan->resources().addOrUpdateResource(
            std::make_shared<ZozProjectMember>(99, "gone", std::nullopt, std::nullopt, 5.0), 100);
        auto extra = task(root, 0, 2);
        extra->setWork(ZozTaskWork::fixDailyWork(3));
        extra->resources().addOrUpdateResource(m_a, 100);
        // A milestone with a child: the child's 7 counts once, the milestone's own cost (which
        // for a task with children is its children's) not again.
        auto parentMilestone = task(root, 3, 4);
        auto child = task(parentMilestone, 3, 4);
        costs(child, 7, 0);
        child->setWork(ZozTaskWork::byResource());
        parentMilestone->setInnerType(document::ProjectTaskInnerType::milestone);
        costs(parentMilestone, 50, 50);
        auto projectLeaf = task(root, 0, 12);
        projectLeaf->setWork(ZozTaskWork::fixDailyWork(8));
        costs(projectLeaf, 10, 10);
        projectLeaf->setInnerType(document::ProjectTaskInnerType::project);

        for (const auto& groupTask : {group, parentMilestone, root}) {
            groupTask->refreshCalculatablePropertiesOfTaskGroup(true, true, true, true, true, true);
        }
    }

    core::Calendar m_calendar;
    std::int64_t m_monday;
    std::shared_ptr<document::ZozProject> m_project;
    std::shared_ptr<ZozProjectMember> m_a;
    std::shared_ptr<ZozProjectMember> m_b;
    std::int64_t m_lastId = 0;
};

void expectSameAsFixture(const char* zone, const char* locale, int year, int month, int day) {
    const core::ScopedCalendarOverride pin(zone, locale);
    const auto calendar = core::Calendar::current();
    const auto monday = core::Calendar::dayNumberFromCivil(year, month, day);
    ModelPlan model(calendar, monday);
    auto plan = report::testing::fixturePlan(calendar, monday);
    for (const auto kind : {Period::Kind::day, Period::Kind::week, Period::Kind::month}) {
        const auto fromModel = ProjectReport::make(kind, model.project());
        const auto expected = report::detail::buildReport(kind, plan.input(), calendar);
        ASSERT_EQ(fromModel->timeline().size(), expected->timeline().size());
        ASSERT_EQ(fromModel->rows().size(), expected->rows().size());
        // The milestone's child: 7 of labour on Thursday (offset 3) for "not assigned".
        const std::size_t childPeriod = kind == Period::Kind::day ? 3 : 0;
        for (std::size_t r = 0; r < expected->rows().size(); ++r) {
            EXPECT_EQ(fromModel->rows()[r].name(), expected->rows()[r].name());
            for (std::size_t p = 0; p < expected->timeline().size(); ++p) {
                const auto& got = fromModel->rows()[r].data(p);
                const auto& want = expected->rows()[r].data(p);
                const double extra = (r == 2 && p == childPeriod) ? 7.0 : 0.0;
                EXPECT_NEAR(got.work, want.work, 1e-9) << zone << " " << r << "/" << p;
                EXPECT_NEAR(got.laborCost, want.laborCost + extra, 1e-9) << zone << " " << r;
                EXPECT_NEAR(got.materialsCost, want.materialsCost, 1e-9) << zone << " " << r;
                EXPECT_EQ(got.overloadedDay, want.overloadedDay) << zone << " " << r << "/" << p;
            }
        }
        for (std::size_t p = 0; p < expected->timeline().size(); ++p) {
            EXPECT_EQ(fromModel->timeline()[p].period, expected->timeline()[p].period);
            EXPECT_EQ(fromModel->timeline()[p].availableHours,
                      expected->timeline()[p].availableHours);
        }
        EXPECT_NEAR(fromModel->total().work, 132.0, 1e-9);
        EXPECT_NEAR(fromModel->total().laborCost, 440.0, 1e-9);
        EXPECT_NEAR(fromModel->total().materialsCost, 37.0, 1e-9);
    }
}

TEST(ProjectReportFromModel, MatchesTheHandComputedFixtureInBothZones) {
    expectSameAsFixture("America/New_York", "en_US", 2024, 3, 4);
    expectSameAsFixture("Europe/Berlin", "de_DE", 2024, 3, 25);
}

TEST(ProjectReportFromModel, CountsCalendarExceptions) {
    const core::ScopedCalendarOverride pin("Europe/Berlin", "de_DE");
    const auto calendar = core::Calendar::current();
    auto project = document::ZozProject::create("uid", "Exceptions");
    const auto monday = core::Calendar::dayNumberFromCivil(2024, 3, 4);
    const auto root = project->root();
    auto task = project->createChild(root, 1, calendar.startOfLocalDay(monday),
                                     calendar.startOfLocalDay(monday + 7));
    task->setWork(ZozTaskWork::fixAmount(30));
    task->setLaborCost(ZozTaskLaborCost::fix(0));
    root->refreshCalculatablePropertiesOfTaskGroup(true, true, true, true, true, true);
    // Wednesday off, Saturday worked: still five working days, 6 h each.
    project->calendar().changeWorkingDay(calendar.startOfLocalDay(monday + 2));
    project->calendar().changeWorkingDay(calendar.startOfLocalDay(monday + 5));
    const auto report = ProjectReport::make(Period::Kind::day, *project);
    ASSERT_EQ(report->timeline().size(), 7U);
    const auto& row = report->rows().back();
    EXPECT_EQ(row.data(1).work, 6.0);
    EXPECT_EQ(row.data(2).work, 0.0);
    EXPECT_EQ(row.data(5).work, 6.0);
    EXPECT_EQ(row.data(6).work, 0.0);
    EXPECT_EQ(report->total().work, 30.0);
    EXPECT_EQ(report->timeline()[5].availableHours, 8.0);
}

TEST(ProjectReportFromModel, ADayWithoutMidnightKeepsItsWork) {
    // Havana and Tehran moved their clocks forward at midnight: those days start at 01:00.
    struct Case {
        const char* zone;
        int year;
        int month;
        int day;
    };
    for (const Case c : {Case{"America/Havana", 2024, 3, 10}, Case{"America/Havana", 2024, 3, 3},
                         Case{"Asia/Tehran", 2021, 3, 22}, Case{"Asia/Tehran", 2021, 3, 15}}) {
        SCOPED_TRACE(std::string(c.zone) + " " + std::to_string(c.month) + "/" +
                     std::to_string(c.day));
        const core::ScopedCalendarOverride pin(c.zone, "en_US");
        const auto calendar = core::Calendar::current();
        const auto day = core::Calendar::dayNumberFromCivil(c.year, c.month, c.day);
        auto project = document::ZozProject::create("uid", "Midnight");
        const auto root = project->root();
        // One whole day, 8 hours of work and 100 of labour; a daily task beside it over the
        // day and the next one.
        auto task = project->createChild(root, 1, calendar.startOfLocalDay(day),
                                         calendar.startOfLocalDay(day + 1));
        task->setWork(ZozTaskWork::fixAmount(8));
        task->setLaborCost(ZozTaskLaborCost::fix(100));
        EXPECT_EQ(task->duration(), 1);
        auto daily = project->createChild(root, 2, calendar.startOfLocalDay(day),
                                          calendar.startOfLocalDay(day + 2));
        daily->setWork(ZozTaskWork::fixDailyWork(1));
        daily->setLaborCost(ZozTaskLaborCost::fix(0));
        EXPECT_EQ(daily->duration(), 2);
        root->refreshCalculatablePropertiesOfTaskGroup(true, true, true, true, true, true);
        std::int64_t workingDays = 0;
        for (const std::int64_t d : {day, day + 1}) {
            const int weekday = core::Calendar::weekdayOfDayNumber(d);
            workingDays += weekday != 1 && weekday != 7 ? 1 : 0;
        }
        EXPECT_EQ(project->calendar().countOfWorkingDays(calendar.startOfLocalDay(day),
                                                         calendar.startOfLocalDay(day + 2)),
                  workingDays);
        EXPECT_EQ(daily->days(), workingDays);

        const auto report = ProjectReport::make(Period::Kind::day, *project);
        ASSERT_EQ(report->timeline().size(), 2U);
        EXPECT_NEAR(report->total().work, 8.0 + static_cast<double>(workingDays), 1e-9);
        EXPECT_NEAR(report->total().laborCost, 100.0, 1e-9);
        EXPECT_NEAR(report->timeline()[0].total.laborCost, 100.0, 1e-9);
        EXPECT_NEAR(report->timeline()[1].total.laborCost, 0.0, 1e-9);
    }
}

TEST(ProjectReportFromModel, AssignedCostRateSum) {
    document::ZozTaskResources resources;
    EXPECT_EQ(report::assignedCostRateSum(resources), 0.0);
    resources.addOrUpdateResource(
        std::make_shared<ZozProjectMember>(1, "A", std::nullopt, std::nullopt, 10.0), 100);
    EXPECT_EQ(report::assignedCostRateSum(resources), 1000.0);
    resources.addOrUpdateResource(
        std::make_shared<ZozProjectMember>(2, "B", std::nullopt, std::nullopt, 20.5), 50);
    EXPECT_EQ(report::assignedCostRateSum(resources), 2025.0);
}

} // namespace
