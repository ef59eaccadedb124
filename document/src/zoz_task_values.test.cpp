#include "document/date_baseline.hpp"
#include "document/zoz_project.hpp"

#include "test_support.hpp"

#include "core/calendar.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace document {
namespace {

using testing::localDate;
using testing::plusDays;

class TaskValuesTest : public ::testing::Test {
protected:
    core::ScopedCalendarOverride m_zone{"Europe/Berlin", "en_US"};
    std::shared_ptr<ZozProject> m_project = ZozProject::create("uid", "Plan");
    ZozProjectTask::Ptr m_root = ZozProjectTask::create(
        m_project, nullptr, 0, localDate(2024, 1, 1), localDate(2024, 12, 31));

    void SetUp() override {
        m_project->initializeByCalendarAndTeamAndRootTask(nullptr, std::nullopt, m_root);
    }

    ZozProjectTask::Ptr leaf(const ZozProjectTask::Ptr& parent, std::int64_t id, core::Date start,
                             core::Date finish) {
        return m_project->createChild(parent, id, start, finish);
    }
};

TEST_F(TaskValuesTest, MilestoneAndSingleTask) {
    auto milestone = leaf(m_root, 1, localDate(2024, 3, 1), localDate(2024, 3, 5));
    milestone->setTaskType(ZozProjectTaskType::milestone);
    milestone->setWork(ZozTaskWork::fixAmount(9));
    EXPECT_EQ(milestone->start(), localDate(2024, 3, 4));
    EXPECT_EQ(milestone->days(), 0);
    EXPECT_EQ(milestone->duration(), 0);
    EXPECT_EQ(milestone->work(), 0.0);
    EXPECT_EQ(milestone->finishForDisplay().timeIntervalSince1970(),
              localDate(2024, 3, 4, 23, 59).timeIntervalSince1970() + 59.0);

    // Monday to Monday across the spring change of Berlin (31 March).
    auto single = leaf(m_root, 2, localDate(2024, 3, 25), localDate(2024, 4, 1));
    single->setWork(ZozTaskWork::fixDailyWork(8));
    EXPECT_EQ(single->days(), 5);
    EXPECT_EQ(single->duration(), 7);
    EXPECT_EQ(single->work(), 40.0);
    // No assignment: automatic labour at the default rate.
    EXPECT_EQ(single->laborCost(), 40.0);
    m_project->setDefaultCostRate(2.5);
    EXPECT_EQ(single->laborCost(), 100.0);
    single->setMaterialsCost(12.5);
    EXPECT_EQ(single->totalCost(), 112.5);
    single->setLaborCost(ZozTaskLaborCost::fix(0));
    EXPECT_EQ(single->laborCost(), 0.0);
}

TEST_F(TaskValuesTest, WorkAndLabourByResource) {
    auto ann = m_project->team().add("Ann", {}, {}, 100.0);
    auto bob = m_project->team().add("Bob", {}, {}, 40.0);
    auto task = leaf(m_root, 1, localDate(2024, 3, 4), localDate(2024, 3, 11));
    task->resources().addOrUpdateResource(ann, 50);
    task->resources().addOrUpdateResource(bob, 100);
    EXPECT_DOUBLE_EQ(task->work(), 60.0);
    // Rate weighted by workload: (50 x 100 + 100 x 40) / 150 = 60 per hour.
    EXPECT_DOUBLE_EQ(task->laborCost(), 3600.0);
    m_project->setDailyWorkingHours(6);
    EXPECT_DOUBLE_EQ(task->work(), 45.0);

    // Workloads summing to zero: rate 0, never NaN.
    auto zero = leaf(m_root, 2, localDate(2024, 3, 4), localDate(2024, 3, 11));
    zero->setWork(ZozTaskWork::fixAmount(10));
    zero->resources().addOrUpdateResource(ann, 0);
    zero->resources().addOrUpdateResource(bob, 0);
    EXPECT_EQ(zero->laborCost(), 0.0);
    EXPECT_FALSE(std::isnan(zero->totalCost()));

    auto unassigned = leaf(m_root, 3, localDate(2024, 3, 4), localDate(2024, 3, 11));
    unassigned->setWork(ZozTaskWork::fixAmount(10));
    EXPECT_EQ(unassigned->laborCost(), 10.0);
}

TEST_F(TaskValuesTest, ThreeLevelGroupValues) {
    auto ann = m_project->team().add("Ann", {}, {}, 20.0);
    auto group = m_project->createChild(m_root, 1, localDate(2024, 3, 1), localDate(2024, 3, 2));
    auto a = leaf(group, 2, localDate(2024, 3, 1), localDate(2024, 3, 4));
    auto sub = leaf(group, 3, localDate(2024, 3, 2), localDate(2024, 3, 3));
    auto b = leaf(sub, 4, localDate(2024, 3, 2), localDate(2024, 3, 10));
    auto c = leaf(sub, 5, localDate(2024, 3, 4), localDate(2024, 3, 6));
    a->setWork(ZozTaskWork::fixAmount(10));
    a->setMaterialsCost(5);
    b->setWork(ZozTaskWork::fixDailyWork(2)); // 5 working days from Saturday 2nd
    b->resources().addOrUpdateResource(ann, 100);
    c->setWork(ZozTaskWork::fixAmount(3));
    c->setLaborCost(ZozTaskLaborCost::fix(100));
    c->setMaterialsCost(1);

    EXPECT_EQ(group->start(), localDate(2024, 3, 1));
    EXPECT_EQ(group->finish(), localDate(2024, 3, 10));
    EXPECT_EQ(sub->start(), localDate(2024, 3, 2));
    EXPECT_DOUBLE_EQ(group->work(), 23.0);
    EXPECT_TRUE(group->workData().isByResource());
    EXPECT_DOUBLE_EQ(sub->laborCost(), 200.0 + 100.0);
    EXPECT_DOUBLE_EQ(group->laborCost(), 10.0 + 300.0);
    EXPECT_DOUBLE_EQ(group->materialsCost(), 6.0);
    EXPECT_DOUBLE_EQ(m_root->totalCost(), 316.0);
    // A group's automatic estimate uses the default rate: nobody is assigned to a group.
    EXPECT_DOUBLE_EQ(group->estimatedAutoLaborCost(), 23.0);
    EXPECT_EQ(&group->resources(), &ZozTaskResources::empty());

    // Setters of a group are ignored.
    group->setStart(localDate(2020, 1, 1));
    group->setWork(ZozTaskWork::fixAmount(1));
    EXPECT_EQ(group->start(), localDate(2024, 3, 1));
    EXPECT_EQ(group->storedStart(), localDate(2024, 3, 1));

    // Cached values stay stale until refreshed.
    b->setFinish(localDate(2024, 3, 20));
    c->setWork(ZozTaskWork::fixAmount(30));
    EXPECT_EQ(group->finish(), localDate(2024, 3, 10));
    EXPECT_DOUBLE_EQ(group->work(), 23.0);
    group->requestToRefreshCalculatablePropertiesOfTaskGroup(false, true, false, true, false,
                                                             false);
    // The request does not reach the stale child group.
    EXPECT_EQ(group->finish(), localDate(2024, 3, 10));
    sub->requestToRefreshAllCalculatablePropertiesOfTaskGroup();
    group->requestToRefreshAllCalculatablePropertiesOfTaskGroup();
    EXPECT_EQ(group->finish(), localDate(2024, 3, 20));
    EXPECT_DOUBLE_EQ(group->work(), 10.0 + 24.0 + 30.0);
    c->setWork(ZozTaskWork::fixAmount(3));
    sub->requestToRefreshAllCalculatablePropertiesOfTaskGroup();
    group->requestToRefreshAllCalculatablePropertiesOfTaskGroup();
    group->executeRequestToRefreshCalculatablePropertiesOfTaskGroup();
    EXPECT_DOUBLE_EQ(group->work(), 37.0);
    b->setFinish(localDate(2024, 3, 10));
    sub->refreshCalculatablePropertiesOfTaskGroup(true, true, true, true, true, true);
    group->refreshCalculatablePropertiesOfTaskGroup(true, true, true, true, true, true);
    EXPECT_EQ(group->finish(), localDate(2024, 3, 10));
}

TEST_F(TaskValuesTest, CompletionPercentages) {
    auto group = m_project->createChild(m_root, 1, localDate(2024, 3, 1), localDate(2024, 3, 2));
    // 3 and 1 working days at 50 % and 100 %: 250 / 4 = 62.5 -> 62.
    auto three = leaf(group, 2, localDate(2024, 3, 4), localDate(2024, 3, 7));
    auto one = leaf(group, 3, localDate(2024, 3, 4), localDate(2024, 3, 5));
    three->setCompletedPercentage(50);
    one->setCompletedPercentage(100);
    three->setWork(ZozTaskWork::fixAmount(30));
    one->setWork(ZozTaskWork::fixAmount(10));
    three->setWorkCompletedPercentage(50);
    one->setWorkCompletedPercentage(100);
    EXPECT_EQ(group->completePercentage(), 62);
    EXPECT_EQ(group->workCompletePercentage(), 62); // (1500 + 1000) / 40 = 62.5

    // 19 working days at 100 % and one at 99 %: 99.95 -> 100; with an unfinished milestone 99.
    auto bigGroup =
        m_project->createChild(m_root, 10, localDate(2024, 3, 1), localDate(2024, 3, 2));
    auto many = leaf(bigGroup, 11, localDate(2024, 3, 4), localDate(2024, 3, 29));
    auto few = leaf(bigGroup, 12, localDate(2024, 3, 4), localDate(2024, 3, 5));
    ASSERT_EQ(many->days(), 19);
    many->setCompletedPercentage(100);
    few->setCompletedPercentage(99);
    EXPECT_EQ(bigGroup->completePercentage(), 100);
    auto milestone = leaf(bigGroup, 13, localDate(2024, 3, 4), localDate(2024, 3, 5));
    milestone->setTaskType(ZozProjectTaskType::milestone);
    bigGroup->requestToRefreshAllCalculatablePropertiesOfTaskGroup();
    EXPECT_EQ(bigGroup->completePercentage(), 99);
    milestone->setCompletedPercentage(100);
    bigGroup->requestToRefreshAllCalculatablePropertiesOfTaskGroup();
    EXPECT_EQ(bigGroup->completePercentage(), 100);

    // Only milestones: 100 when all are done, otherwise 0; work completion 0.
    auto marks = m_project->createChild(m_root, 20, localDate(2024, 3, 1), localDate(2024, 3, 2));
    auto m1 = leaf(marks, 21, localDate(2024, 3, 4), localDate(2024, 3, 5));
    auto m2 = leaf(marks, 22, localDate(2024, 3, 4), localDate(2024, 3, 5));
    m1->setTaskType(ZozProjectTaskType::milestone);
    m2->setTaskType(ZozProjectTaskType::milestone);
    m1->setCompletedPercentage(100);
    m2->setCompletedPercentage(100);
    EXPECT_EQ(marks->completePercentage(), 100);
    EXPECT_EQ(marks->workCompletePercentage(), 0);
    m2->setCompletedPercentage(20);
    marks->requestToRefreshAllCalculatablePropertiesOfTaskGroup();
    EXPECT_EQ(marks->completePercentage(), 0);

    // A hostile percentage neither overflows nor turns into garbage.
    one->setCompletedPercentage(std::numeric_limits<std::int64_t>::max());
    group->requestToRefreshAllCalculatablePropertiesOfTaskGroup();
    EXPECT_GT(group->completePercentage(), 100);
}

TEST_F(TaskValuesTest, InvalidDatesAndExpectedCompletion) {
    const auto today = core::Calendar::current().startOfDay(core::Date::now());
    auto task = leaf(m_root, 1, localDate(2024, 3, 4), localDate(2024, 3, 11));
    const auto farAhead =
        *core::Calendar::current().dateByAdding(core::CalendarComponent::year, 150, today);
    task->setStart(farAhead);
    task->setFinish(farAhead);
    EXPECT_EQ(task->storedStart(), today);
    EXPECT_EQ(task->storedFinish(), plusDays(today, 1));
    task->setStart(core::Date(std::nan("")));
    EXPECT_EQ(task->storedStart(), today);

    auto past = leaf(m_root, 2, localDate(2024, 3, 4), localDate(2024, 3, 11));
    EXPECT_EQ(past->tobeCompletePercentage(), 100);
    auto future = leaf(m_root, 3, plusDays(today, 3), plusDays(today, 10));
    EXPECT_EQ(future->tobeCompletePercentage(), 0);
    auto running = leaf(m_root, 4, plusDays(today, -14), plusDays(today, 14));
    const auto expected = m_project->calendar().countOfWorkingDays(plusDays(today, -14), today) *
                          100 / running->days();
    EXPECT_EQ(running->tobeCompletePercentage(), expected);
}

TEST_F(TaskValuesTest, Baseline) {
    auto task = leaf(m_root, 1, localDate(2024, 3, 25), localDate(2024, 4, 1));
    const auto baseline = task->dateBaseline();
    EXPECT_EQ(baseline, task->dateBaseline());
    EXPECT_FALSE(baseline->days().has_value());
    baseline->change(localDate(2024, 3, 25), localDate(2024, 4, 1));
    EXPECT_EQ(baseline->days(), 5);
    EXPECT_EQ(baseline->duration(), 7);
    EXPECT_EQ(baseline->finishForDisplay(),
              core::Date(localDate(2024, 4, 1).timeIntervalSince1970() - 1));
    // The calendar changing does not clear the cache; the baseline's own dates do.
    const auto wednesday = localDate(2024, 3, 27);
    m_project->calendar().setDayExceptionString(
        std::to_string(core::Calendar::current().localDayNumber(wednesday) -
                       ZozProjectCalendar::kSingularityOriginDay));
    EXPECT_EQ(baseline->days(), 5);
    baseline->change(localDate(2024, 3, 25), localDate(2024, 4, 2));
    EXPECT_EQ(baseline->days(), 5);
    EXPECT_EQ(baseline->duration(), 8);

    auto other = leaf(m_root, 2, localDate(2024, 5, 6), localDate(2024, 5, 8));
    other->dateBaseline()->initializeByTaskDate();
    EXPECT_EQ(other->dateBaseline()->start(), localDate(2024, 5, 6));
    EXPECT_EQ(other->dateBaseline()->days(), 2);
    baseline->copyDates(*other->dateBaseline());
    EXPECT_EQ(baseline->days(), 2);

    other->setTaskType(ZozProjectTaskType::milestone);
    auto milestoneBaseline = std::make_shared<DateBaseline>(other);
    EXPECT_EQ(milestoneBaseline->days(), 0);
    EXPECT_EQ(milestoneBaseline->duration(), 0);

    // A released task leaves its baseline answering nothing.
    m_project->removeChild(m_root, other);
    other.reset();
    milestoneBaseline->change(localDate(2024, 3, 25), localDate(2024, 4, 1));
    EXPECT_FALSE(milestoneBaseline->days().has_value());
    EXPECT_FALSE(milestoneBaseline->duration().has_value());
}

} // namespace
} // namespace document
