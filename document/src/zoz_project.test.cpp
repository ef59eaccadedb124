#include "document/zoz_project.hpp"
#include "document/date_baseline.hpp"
#include "document/zoz_model_error.hpp"

#include "test_support.hpp"

#include "core/calendar.hpp"
#include "core/uuid.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace document {
namespace {

using testing::localDate;

class ZozProjectTest : public ::testing::Test {
protected:
    core::ScopedCalendarOverride m_zone{"Europe/Berlin", "en_US"};
    std::shared_ptr<ZozProject> m_project = ZozProject::create("uid-1", "Plan");

    ZozProjectTask::Ptr task(std::int64_t id) {
        return ZozProjectTask::create(m_project, nullptr, id, localDate(2024, 3, 4),
                                      localDate(2024, 3, 11));
    }
};

TEST_F(ZozProjectTest, DefaultsAndSetterRules) {
    EXPECT_EQ(m_project->uid(), "uid-1");
    EXPECT_EQ(m_project->name(), "Plan");
    EXPECT_TRUE(core::Uuid::parse(m_project->version()).has_value());
    EXPECT_EQ(ZozProject::create("u", "n", "v7")->version(), "v7");
    EXPECT_EQ(m_project->currency(), "$");
    EXPECT_EQ(m_project->dailyWorkingHours(), 8.0);
    EXPECT_EQ(m_project->defaultCostRate(), 1.0);
    EXPECT_EQ(m_project->timespaceScale(), 1.0);
    EXPECT_EQ(m_project->taskLinkType(), ZozTaskLinkType::finishToStart);
    EXPECT_EQ(m_project->team().count(), 0U);
    EXPECT_EQ(m_project->team().idSeed(), 1);
    EXPECT_EQ(m_project->taskCount(), 0U);

    m_project->setDailyWorkingHours(24);
    EXPECT_EQ(m_project->dailyWorkingHours(), 24.0);
    for (const double bad : {24.5, 0.0, -3.0, std::nan("")}) {
        m_project->setDailyWorkingHours(7);
        m_project->setDailyWorkingHours(bad);
        EXPECT_EQ(m_project->dailyWorkingHours(), 8.0) << bad;
    }
    m_project->setDefaultCostRate(0);
    EXPECT_EQ(m_project->defaultCostRate(), 0.0);
    m_project->setDefaultCostRate(-0.5);
    EXPECT_EQ(m_project->defaultCostRate(), 1.0);
    m_project->setDefaultCostRate(std::nan(""));
    EXPECT_EQ(m_project->defaultCostRate(), 1.0);
}

TEST_F(ZozProjectTest, LazyRootAndCalendar) {
    // The calendar of a project without a root spans today and creates no root.
    const auto today = core::Calendar::current().startOfDay(core::Date::now());
    const auto& calendar = m_project->calendar();
    EXPECT_EQ(m_project->storedRoot(), nullptr);
    EXPECT_EQ(calendar.mapStart(),
              *core::Calendar::current().dateByAdding(core::CalendarComponent::year, -1, today));

    const auto& root = m_project->root();
    EXPECT_EQ(root, m_project->root());
    EXPECT_EQ(root->id(), 0);
    EXPECT_EQ(root->start(), today);
    EXPECT_EQ(root->finish(), testing::plusDays(today, 1));
    EXPECT_EQ(m_project->taskCount(), 0U);
    EXPECT_EQ(root->project(), m_project);
}

TEST_F(ZozProjectTest, CalendarFollowsTheRootsDates) {
    auto root = task(0);
    auto child = task(1);
    child->setStart(localDate(2024, 1, 10));
    child->setFinish(localDate(2024, 6, 1));
    root->addChild(child);
    m_project->initializeByCalendarAndTeamAndRootTask(nullptr, std::nullopt, root);
    EXPECT_EQ(m_project->calendar().mapStart(), localDate(2023, 1, 10));
    EXPECT_EQ(m_project->calendar().mapEnd(), localDate(2025, 6, 1));
}

TEST_F(ZozProjectTest, InstallationRegistersOnceAndAppendsMembers) {
    auto root = task(0);
    m_project->addChild(root, task(3));
    m_project->addChild(root, task(7));
    auto calendar =
        std::make_shared<ZozProjectCalendar>(localDate(2024, 1, 1), localDate(2024, 1, 1), "");
    m_project->initializeByCalendarAndTeamAndRootTask(
        calendar, std::vector{std::make_shared<ZozProjectMember>(4, "Ann")}, root);
    EXPECT_EQ(m_project->taskCount(), 3U);
    EXPECT_EQ(&m_project->calendar(), calendar.get());
    EXPECT_EQ(m_project->team().idSeed(), 5);

    m_project->initializeByCalendarAndTeamAndRootTask(
        nullptr, std::vector{std::make_shared<ZozProjectMember>(9, "Bob")}, task(100));
    EXPECT_EQ(m_project->root(), root);
    EXPECT_EQ(m_project->findTask(100), nullptr);
    EXPECT_EQ(m_project->team().count(), 2U);
    EXPECT_EQ(m_project->findTask(7)->id(), 7);

    EXPECT_EQ(m_project->createNewTaskId(), 8);
    EXPECT_EQ(m_project->createNewTaskId(), 9);
    // Later tasks are not rescanned.
    m_project->addChild(root, task(50));
    EXPECT_EQ(m_project->createNewTaskId(), 10);

    auto lone = ZozProject::create("u", "n");
    EXPECT_EQ(lone->createNewTaskId(), 1);

    lone->setTaskIdSeed(std::numeric_limits<std::int64_t>::max());
    EXPECT_THROW(lone->createNewTaskId(), ZozModelError);
}

TEST_F(ZozProjectTest, RemovingUnregistersWholeSubtrees) {
    auto root = task(0);
    m_project->initializeByCalendarAndTeamAndRootTask(nullptr, std::nullopt, root);
    auto child = m_project->createChild(root, 1, localDate(2024, 3, 4), localDate(2024, 3, 5));
    m_project->createChild(child, 2, localDate(2024, 3, 4), localDate(2024, 3, 5));
    m_project->createChildAfter(child, 99, 3, localDate(2024, 3, 4), localDate(2024, 3, 5));
    EXPECT_EQ(m_project->taskCount(), 4U);
    m_project->removeChild(root, child);
    EXPECT_EQ(m_project->taskCount(), 1U);
    EXPECT_EQ(child->parent(), nullptr);

    auto parent = task(10);
    m_project->addChild(root, parent);
    for (std::int64_t id = 20; id < 24; ++id) {
        m_project->addChild(parent, task(id));
    }
    m_project->addChild(parent->childs()[1], task(30));
    m_project->removeChildByRange(parent, 1, 2);
    ASSERT_EQ(parent->childCount(), 2);
    EXPECT_EQ(parent->childs()[0]->id(), 20);
    EXPECT_EQ(parent->childs()[1]->id(), 23);
    EXPECT_EQ(m_project->findTask(21), nullptr);
    EXPECT_EQ(m_project->findTask(30), nullptr);
    EXPECT_NE(m_project->findTask(23), nullptr);
    // Bad ranges are clamped or ignored.
    m_project->removeChildByRange(parent, 5, 9);
    m_project->removeChildByRange(parent, 1, 0);
    EXPECT_EQ(parent->childCount(), 2);
    m_project->removeChildByRange(parent, -4, 7);
    EXPECT_EQ(parent->childCount(), 0);
}

TEST_F(ZozProjectTest, MemberAssignmentQuery) {
    auto member = m_project->team().add("Ann");
    auto root = task(0);
    m_project->initializeByCalendarAndTeamAndRootTask(nullptr, std::nullopt, root);
    EXPECT_FALSE(m_project->isMemberBeAssignedToAnyTask(member->id()));
    auto milestone = m_project->createChild(root, 1, localDate(2024, 3, 4), localDate(2024, 3, 5));
    milestone->setTaskType(ZozProjectTaskType::milestone);
    milestone->ownResources().addOrUpdateResource(member, 50);
    EXPECT_FALSE(m_project->isMemberBeAssignedToAnyTask(member->id()));
    auto single = m_project->createChild(root, 2, localDate(2024, 3, 4), localDate(2024, 3, 5));
    single->resources().fromRowData(",1,50", *m_project);
    EXPECT_TRUE(m_project->isMemberBeAssignedToAnyTask(member->id()));
}

TEST(ZozProjectReleaseTest, ReleasingTheProjectFreesEverything) {
    const core::ScopedCalendarOverride zone("Europe/Berlin", "en_US");
    std::weak_ptr<ZozProject> project;
    std::weak_ptr<ZozProjectTask> rootTask;
    std::weak_ptr<ZozProjectTask> leafTask;
    std::weak_ptr<ZozProjectMember> member;
    std::weak_ptr<ZozProjectCalendar> calendar;
    std::weak_ptr<DateBaseline> baseline;
    {
        auto owner = ZozProject::create("u", "n");
        auto ann = owner->team().add("Ann");
        const auto& root = owner->root();
        auto a = owner->createChild(root, 1, localDate(2024, 3, 4), localDate(2024, 3, 8));
        auto b = owner->createChild(root, 2, localDate(2024, 3, 4), localDate(2024, 3, 8));
        a->resources().addOrUpdateResource(ann, 50);
        a->setContactor(ann);
        b->links().addPredecessor(a);
        a->links().addPredecessor(b); // a cycle of links
        a->links().addPredecessor(a);
        b->dateBaseline()->initializeByTaskDate();
        EXPECT_GT(root->work(), 0.0);
        project = owner;
        rootTask = root;
        leafTask = a;
        member = ann;
        calendar = owner->calendarPointer();
        baseline = b->dateBaseline();
    }
    EXPECT_TRUE(project.expired());
    EXPECT_TRUE(rootTask.expired());
    EXPECT_TRUE(leafTask.expired());
    EXPECT_TRUE(member.expired());
    EXPECT_TRUE(calendar.expired());
    EXPECT_TRUE(baseline.expired());
}

TEST_F(ZozProjectTest, DeepTreeIsBuiltWalkedAndReleasedWithoutRecursion) {
    // Built from the bottom up so every insertion's ancestor check is short.
    constexpr std::int64_t kDepth = 1'000'000;
    auto top = task(kDepth);
    top->setWork(ZozTaskWork::fixAmount(2));
    for (std::int64_t id = kDepth - 1; id >= 1; --id) {
        auto parent = task(id);
        ASSERT_TRUE(parent->addChild(top));
        top = parent;
    }
    auto root = task(0);
    root->addChild(top);
    m_project->initializeByCalendarAndTeamAndRootTask(nullptr, std::nullopt, root);
    EXPECT_EQ(m_project->taskCount(), static_cast<std::size_t>(kDepth + 1));
    EXPECT_EQ(root->work(), 2.0);
    EXPECT_EQ(root->start(), localDate(2024, 3, 4));
    EXPECT_EQ(root->laborCost(), 2.0);
    EXPECT_EQ(root->deepsOfChildsExceptSubProjectTasks(), kDepth);
    EXPECT_EQ(m_project->createNewTaskId(), kDepth + 1);
    auto deepest = m_project->findTask(kDepth);
    EXPECT_FALSE(deepest->isHidden());
    EXPECT_EQ(deepest->getRootTaskOfDirectProject(), root);
    const std::weak_ptr<ZozProjectTask> watched = deepest;
    const std::weak_ptr<ZozProjectTask> middle = m_project->findTask(kDepth / 2);
    deepest.reset();
    top.reset();
    root.reset();
    m_project.reset();
    EXPECT_TRUE(watched.expired());
    EXPECT_TRUE(middle.expired());
}

} // namespace
} // namespace document
