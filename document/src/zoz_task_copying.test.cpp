#include "document/zoz_task_copying.hpp"

#include "document/date_baseline.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_task_links.hpp"

#include "test_support.hpp"

#include "core/calendar.hpp"

#include <gtest/gtest.h>

#include <string>

namespace document {
namespace {

using testing::localDate;

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Scaled amounts are compared to the last bits of a double.
void expectWork(const ZozTaskWork& work, ZozTaskWork::Kind kind, double amount) {
    EXPECT_EQ(work.kind(), kind);
    EXPECT_DOUBLE_EQ(work.amount(), amount);
}

constexpr ZozProjectTaskPropertyCopyingCategories kNothing{
    false, false, false, false, false, false, false, false, false, false, false, false};
constexpr ZozProjectTaskPropertyCopyingCategories kEverything{true, true, true, true, true, true,
                                                              true, true, true, true, true, true};

class TaskCopyingTest : public ::testing::Test {
protected:
    core::ScopedCalendarOverride m_zone{"Europe/Berlin", "en_US"};
    std::shared_ptr<ZozProject> m_project = ZozProject::create("uid", "Source");
    std::shared_ptr<ZozProjectMember> m_ann = m_project->team().add("Ann Arbor");
    std::shared_ptr<ZozProjectMember> m_bob = m_project->team().add("Bob Bell");

    ZozProjectTask::Ptr task(std::int64_t id, int day = 4) {
        return ZozProjectTask::create(m_project, nullptr, id, localDate(2024, 3, day),
                                      localDate(2024, 3, day + 7));
    }

    // A single task with a value in every copied property.
    ZozProjectTask::Ptr richTask() {
        auto t = task(7);
        t->setName("Frame");
        t->setCompletedPercentage(40);
        t->setWorkCompletedPercentage(30);
        t->setWork(ZozTaskWork::fixAmount(30));
        t->setLaborCost(ZozTaskLaborCost::fix(300));
        t->setMaterialsCost(60);
        t->setContactor(m_bob);
        t->setUrl1(TaskUrl::make("Plan", "https://example.org/plan"));
        t->setUrl2(TaskUrl::make(std::nullopt, "https://example.org/2"));
        t->setIcon(5);
        t->color().update(3, 77);
        t->setNotes("kept at home");
        t->dateBaseline()->change(localDate(2024, 3, 1), localDate(2024, 3, 8));
        t->resources().addOrUpdateResource(m_ann, 100);
        t->resources().addOrUpdateResource(m_bob, 50);
        return t;
    }

    // A project with only Bob (id 2) in its team.
    std::shared_ptr<ZozProject> otherProjectWithBob() {
        auto other = ZozProject::create("other", "Other");
        other->team().add(std::make_shared<ZozProjectMember>(2, "Bob Bell"));
        return other;
    }
};

TEST_F(TaskCopyingTest, CopyPropertiesFollowsTheSwitches) {
    auto source = richTask();
    auto target = task(9, 11);
    copyProperties(*source, *target, kNothing);
    EXPECT_EQ(target->name(), "Frame");
    EXPECT_EQ(target->storedStart(), localDate(2024, 3, 11));
    EXPECT_EQ(target->storedCompletedPercentage(), 0);
    EXPECT_EQ(target->workData(), ZozTaskWork::byResource());
    EXPECT_EQ(target->costData(), ZozTaskCost{});
    EXPECT_TRUE(target->resources().isEmpty());
    EXPECT_EQ(target->contactor(), nullptr);
    EXPECT_FALSE(target->url1().has_value());
    EXPECT_EQ(target->iconIndex(), 0);
    EXPECT_EQ(target->color(), ZozProjectTask::Color{});
    EXPECT_EQ(target->storedDateBaseline(), nullptr);

    source->setTaskType(ZozProjectTaskType::milestone);
    auto all = task(10, 11);
    copyProperties(*source, *all, kEverything);
    EXPECT_TRUE(all->isMilestone());
    // A milestone's start is its finish less one day.
    EXPECT_EQ(all->storedStart(), localDate(2024, 3, 10));
    EXPECT_EQ(all->storedFinish(), localDate(2024, 3, 11));
    EXPECT_EQ(all->storedCompletedPercentage(), 40);
    EXPECT_EQ(all->storedWorkCompletedPercentage(), 30);
    EXPECT_EQ(all->workData(), ZozTaskWork::fixAmount(30));
    EXPECT_EQ(all->costData().laborCost, ZozTaskLaborCost::fix(300));
    EXPECT_EQ(all->costData().materialsCost, 60.0);
    EXPECT_EQ(all->contactor(), m_bob);
    EXPECT_EQ(all->url1(), source->url1());
    EXPECT_EQ(all->url2(), source->url2());
    EXPECT_EQ(all->iconIndex(), 5);
    EXPECT_EQ(all->color(), source->color());
    EXPECT_EQ(all->dateBaseline()->start(), localDate(2024, 3, 1));
    EXPECT_EQ(all->dateBaseline()->finish(), localDate(2024, 3, 8));
    EXPECT_FALSE(all->notes().has_value());
    // A milestone source has no assignments to give.
    EXPECT_TRUE(all->ownResources().isEmpty());

    source->setTaskType(ZozProjectTaskType::singleTask);
    auto shared = task(11, 11);
    shared->resources().addOrUpdateResource(m_bob, 10);
    copyProperties(*source, *shared, kEverything);
    ASSERT_EQ(shared->resources().assignments().size(), 2U);
    EXPECT_EQ(shared->resources().getAssignmentByMemberId(1)->member(), m_ann);
    // The earlier assignment of Bob is updated in place.
    EXPECT_EQ(shared->resources().assignments()[0]->member(), m_bob);
    EXPECT_EQ(shared->resources().assignments()[0]->workload(), 50);

    // A source without a baseline neither gains one nor leaves the target's dates behind.
    auto bare = task(12);
    copyProperties(*bare, *shared, kEverything);
    EXPECT_EQ(bare->storedDateBaseline(), nullptr);
    EXPECT_FALSE(shared->dateBaseline()->start().has_value());
    EXPECT_FALSE(shared->dateBaseline()->finish().has_value());
}

TEST_F(TaskCopyingTest, CloneRebindsMembersById) {
    auto source = richTask();
    source->links(); // a source with links gives a copy without them
    auto other = otherProjectWithBob();

    ::testing::internal::CaptureStdout();
    auto copy = clonePropertyExceptChildrenAndLinkToOtherProject(*source, other);
    const auto log = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(countOf(log, "[warning]"), 1U) << log;
    EXPECT_EQ(countOf(log, "Clone incorrect, as member \"Ann Arbor\" is not cloned correctly"), 1U)
        << log;
    EXPECT_EQ(countOf(log, ").(clonePropertyExceptChildrenAndLinkToOtherProject(toProject:)).(#"),
              1U)
        << log;
    EXPECT_EQ(copy->id(), 7);
    EXPECT_EQ(copy->project(), other);
    EXPECT_EQ(copy->parent(), nullptr);
    EXPECT_FALSE(copy->hasChilds());
    EXPECT_FALSE(copy->hasLinksObject());
    ASSERT_EQ(copy->resources().assignments().size(), 1U);
    EXPECT_EQ(copy->resources().assignments()[0]->member(), other->team().get(2));
    EXPECT_EQ(copy->resources().assignments()[0]->workload(), 50);
    EXPECT_EQ(copy->contactor(), other->team().get(2));
    EXPECT_EQ(copy->storedStart(), localDate(2024, 3, 4));
    EXPECT_EQ(copy->storedFinish(), localDate(2024, 3, 11));
    EXPECT_EQ(copy->workData(), ZozTaskWork::fixAmount(30));
    EXPECT_EQ(copy->costData(), source->costData());
    EXPECT_EQ(copy->dateBaseline()->finish(), localDate(2024, 3, 8));

    // The contact member missing from the other team is reported too.
    source->setContactor(m_ann);
    source->resources().remove(1);
    ::testing::internal::CaptureStdout();
    copy = clonePropertyExceptChildrenAndLinkToOtherProject(*source, other);
    EXPECT_EQ(countOf(::testing::internal::GetCapturedStdout(), "\"Ann Arbor\""), 1U);
    EXPECT_EQ(copy->contactor(), nullptr);
}

TEST_F(TaskCopyingTest, CloneOfAGroupKeepsItsCalculatedValues) {
    auto group = task(1);
    auto early = task(2, 1);
    auto late = task(3, 10);
    group->addChild(early);
    group->addChild(late);
    early->setCompletedPercentage(100);
    // A group's own list is invisible, so it names no missing member.
    group->ownResources().addOrUpdateResource(m_ann, 100);
    late->setMaterialsCost(5);
    early->setMaterialsCost(7);

    ::testing::internal::CaptureStdout();
    auto copy = clonePropertyExceptChildrenAndLinkToOtherProject(*group, otherProjectWithBob());
    EXPECT_EQ(countOf(::testing::internal::GetCapturedStdout(), "[warning]"), 0U);
    EXPECT_FALSE(copy->hasChilds());
    EXPECT_EQ(copy->storedStart(), localDate(2024, 3, 1));
    EXPECT_EQ(copy->storedFinish(), localDate(2024, 3, 17));
    EXPECT_EQ(copy->storedCompletedPercentage(), group->completePercentage());
    EXPECT_EQ(copy->costData().materialsCost, 12.0);
    EXPECT_TRUE(copy->ownResources().isEmpty());
}

TEST_F(TaskCopyingTest, MemberShareScalesWorkAndCost) {
    auto source = task(7);
    source->setWork(ZozTaskWork::fixAmount(30));
    source->setLaborCost(ZozTaskLaborCost::fix(300));
    source->setMaterialsCost(60);
    source->setWorkCompletedPercentage(25);
    source->setContactor(m_bob);
    source->resources().addOrUpdateResource(m_ann, 100);
    source->resources().addOrUpdateResource(m_bob, 50);
    auto other = otherProjectWithBob();

    auto share = cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
        *source, other, {2});
    ASSERT_NE(share, nullptr);
    expectWork(share->workData(), ZozTaskWork::Kind::fixAmount, 10);
    EXPECT_TRUE(share->costData().laborCost.isFix());
    EXPECT_DOUBLE_EQ(share->costData().laborCost.amount(), 100);
    EXPECT_DOUBLE_EQ(share->costData().materialsCost.value_or(0), 20);
    EXPECT_EQ(share->storedWorkCompletedPercentage(), 25);
    EXPECT_EQ(share->contactor(), nullptr);
    ASSERT_EQ(share->resources().assignments().size(), 1U);
    EXPECT_EQ(share->resources().assignments()[0]->member(), other->team().get(2));
    EXPECT_EQ(share->resources().assignments()[0]->workload(), 50);

    // Naming a member twice does not double its share; automatic cost and work by resource stay.
    source->setWork(ZozTaskWork::fixDailyWork(6));
    source->setLaborCost(ZozTaskLaborCost::automatic());
    share = cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
        *source, other, {2, 2, 9});
    expectWork(share->workData(), ZozTaskWork::Kind::fixDailyWork, 2);
    EXPECT_FALSE(share->costData().laborCost.isFix());
    source->setWork(ZozTaskWork::byResource());
    share = cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
        *source, other, {2});
    EXPECT_EQ(share->workData(), ZozTaskWork::byResource());

    // With every workload 0 the chosen members' head count gives the share.
    source->setWork(ZozTaskWork::fixAmount(30));
    source->resources().getAssignmentByMemberId(1)->setWorkload(0);
    source->resources().getAssignmentByMemberId(2)->setWorkload(0);
    share = cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
        *source, other, {2});
    expectWork(share->workData(), ZozTaskWork::Kind::fixAmount, 15);
    EXPECT_DOUBLE_EQ(share->costData().materialsCost.value_or(0), 30);

    // A chosen member the other project lacks is reported and carries nothing.
    ::testing::internal::CaptureStdout();
    share = cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
        *source, other, {1});
    EXPECT_EQ(countOf(::testing::internal::GetCapturedStdout(), "\"Ann Arbor\""), 1U);
    ASSERT_NE(share, nullptr);
    EXPECT_TRUE(share->resources().isEmpty());
    EXPECT_EQ(share->workData(), ZozTaskWork::fixAmount(0));
}

TEST_F(TaskCopyingTest, MemberShareOnlyOfAssignedSingleTasks) {
    auto other = otherProjectWithBob();
    auto unassigned = task(1);
    unassigned->resources().addOrUpdateResource(m_ann, 100);
    EXPECT_EQ(cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
                  *unassigned, other, {2}),
              nullptr);
    EXPECT_EQ(cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
                  *unassigned, other, {}),
              nullptr);

    auto milestone = task(2);
    milestone->ownResources().addOrUpdateResource(m_bob, 100);
    milestone->setTaskType(ZozProjectTaskType::milestone);
    EXPECT_EQ(cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
                  *milestone, other, {2}),
              nullptr);

    auto group = task(3);
    group->ownResources().addOrUpdateResource(m_bob, 100);
    group->addChild(task(4));
    EXPECT_EQ(cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
                  *group, other, {2}),
              nullptr);

    auto subProject = task(5);
    subProject->resources().addOrUpdateResource(m_bob, 100);
    subProject->setTaskType(ZozProjectTaskType::subProjectTask);
    EXPECT_EQ(cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
                  *subProject, other, {2}),
              nullptr);
}

} // namespace
} // namespace document
