#include "document/zoz_project_clone.hpp"

#include "clone_test_support.hpp"
#include "test_support.hpp"

#include "core/calendar.hpp"

#include <gtest/gtest.h>

#include <pthread.h>

#include <functional>
#include <string>

namespace document {
namespace {

using testing::describe;
using testing::expectKeeps;
using testing::expectSelfContained;
using testing::localDate;
using testing::predecessorIds;
using TaskPtr = ZozProjectTask::Ptr;
using Ids = std::vector<std::int64_t>;

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

std::size_t warningsIn(const std::string& log) {
    return countOf(log, "[warning]");
}

// The ids of a task's children, in order.
Ids childIds(const TaskPtr& task) {
    Ids ids;
    for (const auto& child : task->childs()) {
        ids.push_back(child->id());
    }
    return ids;
}

// A plan in March 2024 (Monday the 4th), in a zone whose clocks change at the month's end:
//   0 Root
//     1 Design: 2 Sketch (Ann), 3 Review (Bob, after 9), 4 Signed (milestone)
//     5 Build: 6 Frame (Bob, after 3), 7 Roof (Ann, after 6)
//     8 Party (nobody), 9 Prep (Ann and Bob), 10 Launch (Cid, after 3)
class ProjectCloneTest : public ::testing::Test {
protected:
    core::ScopedCalendarOverride m_zone{"Europe/Berlin", "en_US"};
    std::shared_ptr<ZozProject> m_source = ZozProject::create("source-uid", "Source", "v1");
    std::shared_ptr<ZozProjectMember> m_ann =
        std::make_shared<ZozProjectMember>(1, "Ann Arbor", "ann.jpg", "ann@example.org", 50.0);
    std::shared_ptr<ZozProjectMember> m_bob = std::make_shared<ZozProjectMember>(2, "Bob Bell");
    std::shared_ptr<ZozProjectMember> m_cid = std::make_shared<ZozProjectMember>(3, "Cid Cole");

    void SetUp() override {
        auto& s = *m_source;
        s.setOldColorIndex(3);
        s.setNewColorIndex(42);
        s.setImageId("cover");
        s.setNotes("project notes");
        s.setTimespaceScale(2.5);
        s.setTimespaceOrginalTime(localDate(2024, 3, 1));
        s.setScreenOffsetY(12);
        s.setDefaultCostRate(3);
        s.setDailyWorkingHours(7);
        s.setDisplayCurrencyAtBegin(true);
        s.setCurrency("EUR");
        s.setLastUpdate(localDate(2024, 3, 2));
        s.setDevice("desk");
        s.setTaskLinkType(ZozTaskLinkType::linkingList);
        s.setPdfAuthorName("Ann");
        s.setPdfBannerImageId("banner");
        s.setUserHasSetLinkType(true);
        s.setOnlyWorkingDayTaskSchedule(true);

        // Offset 8834 is Saturday 9 March: a working day here.
        auto root = ZozProjectTask::create(m_source, nullptr, 0, localDate(2024, 3, 1),
                                           localDate(2024, 3, 2));
        root->setName("Root");
        root->setTaskType(ZozProjectTaskType::mainProjectTask);
        s.initializeByCalendarAndTeamAndRootTask(
            std::make_shared<ZozProjectCalendar>(localDate(2024, 3, 1), localDate(2024, 3, 31),
                                                 "8834"),
            std::vector{m_ann, m_bob, m_cid}, root);

        const auto design = add(root, 1, "Design", 4, 8);
        const auto sketch = add(design, 2, "Sketch", 4, 6, {{m_ann, 100}});
        sketch->setWork(ZozTaskWork::fixAmount(30));
        sketch->setLaborCost(ZozTaskLaborCost::fix(300));
        sketch->setMaterialsCost(12);
        sketch->setContactor(m_ann);
        sketch->setUrl1(TaskUrl::make("Brief", "https://example.org/brief"));
        sketch->setIcon(4);
        sketch->color().update(2, 15);
        sketch->setCompletedPercentage(50);
        sketch->setWorkCompletedPercentage(20);
        sketch->setNotes("not in a clone");
        sketch->dateBaseline()->change(localDate(2024, 3, 4), localDate(2024, 3, 7));
        const auto review = add(design, 3, "Review", 6, 8, {{m_bob, 50}});
        review->setWork(ZozTaskWork::fixDailyWork(4));
        const auto signedOff = add(design, 4, "Signed", 7, 8);
        signedOff->setTaskType(ZozProjectTaskType::milestone);
        const auto build = add(root, 5, "Build", 11, 20);
        const auto frame = add(build, 6, "Frame", 11, 15, {{m_bob, 100}});
        const auto roof = add(build, 7, "Roof", 15, 20, {{m_ann, 100}});
        const auto party = add(root, 8, "Party", 1, 12);
        party->setNotes("bring cake");
        const auto prep = add(root, 9, "Prep", 1, 4, {{m_ann, 50}, {m_bob, 50}});
        prep->setWork(ZozTaskWork::fixAmount(16));
        const auto launch = add(root, 10, "Launch", 8, 9, {{m_cid, 100}});

        review->links().addPredecessor(prep);
        frame->links().addPredecessor(review);
        roof->links().addPredecessor(frame);
        launch->links().addPredecessor(review);
    }

    TaskPtr
    add(const TaskPtr& parent, std::int64_t id, const std::string& name, int startDay,
        int finishDay,
        const std::vector<std::pair<std::shared_ptr<ZozProjectMember>, int>>& members = {}) {
        auto task = m_source->createChild(parent, id, localDate(2024, 3, startDay),
                                          localDate(2024, 3, finishDay));
        task->setName(name);
        for (const auto& [member, workload] : members) {
            task->resources().addOrUpdateResource(member, workload);
        }
        return task;
    }

    TaskPtr source(std::int64_t id) const { return m_source->findTask(id); }

    // Runs `cloning` and checks what every clone must be: a new identity, the copied settings,
    // and no hold on the source, which is left as it was. The log is kept in `m_log`.
    std::shared_ptr<ZozProject>
    checked(const std::function<std::shared_ptr<ZozProject>()>& cloning) {
        const auto before = describe(*m_source);
        ::testing::internal::CaptureStdout();
        auto clone = cloning();
        m_log = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(describe(*m_source), before);
        if (m_sourceIsTree) {
            expectSelfContained(*m_source);
        }
        expectSelfContained(*clone);

        EXPECT_NE(clone->uid(), m_source->uid());
        EXPECT_NE(clone->version(), m_source->version());
        EXPECT_NE(clone->uid(), clone->version());
        EXPECT_EQ(clone->oldColorIndex(), 3);
        EXPECT_EQ(clone->newColorIndex(), 42);
        EXPECT_EQ(clone->imageId(), "cover");
        EXPECT_EQ(clone->notes(), "project notes");
        EXPECT_EQ(clone->timespaceScale(), 2.5);
        EXPECT_EQ(clone->timespaceOrginalTime(), localDate(2024, 3, 1));
        EXPECT_EQ(clone->screenOffsetY(), 12);
        EXPECT_EQ(clone->defaultCostRate(), 3);
        EXPECT_EQ(clone->dailyWorkingHours(), 7);
        EXPECT_TRUE(clone->displayCurrencyAtBegin());
        EXPECT_EQ(clone->currency(), "EUR");
        EXPECT_FALSE(clone->lastUpdate().has_value());
        EXPECT_FALSE(clone->device().has_value());
        EXPECT_EQ(clone->taskLinkType(), ZozTaskLinkType::finishToStart);
        EXPECT_FALSE(clone->pdfAuthorName().has_value());
        EXPECT_FALSE(clone->pdfBannerImageId().has_value());
        EXPECT_FALSE(clone->userHasSetLinkType());
        EXPECT_FALSE(clone->onlyWorkingDayTaskSchedule());
        EXPECT_FALSE(clone->taskIdSeed().has_value());

        // The same working days, the Saturday made working included, on a calendar of its own.
        EXPECT_NE(clone->storedCalendar(), m_source->storedCalendar());
        EXPECT_EQ(clone->calendar().rowData(), "8834");
        EXPECT_TRUE(clone->calendar().isWorkingDay(localDate(2024, 3, 9)));
        EXPECT_EQ(
            clone->calendar().countOfWorkingDays(localDate(2024, 3, 1), localDate(2024, 4, 2)),
            m_source->calendar().countOfWorkingDays(localDate(2024, 3, 1), localDate(2024, 4, 2)));
        return clone;
    }

    std::string m_log;
    bool m_sourceIsTree = true;
};

TEST_F(ProjectCloneTest, WholeProjectKeepsTreeTeamAndLinks) {
    // Ids that name no member clone the whole project, as no ids do.
    for (const auto& ids :
         {std::optional<Ids>{}, std::optional<Ids>{Ids{}}, std::optional<Ids>{Ids{99, 98}}}) {
        const auto clone =
            checked([&] { return document::clone(*m_source, nullptr, "Copy", ids, false, true); });
        EXPECT_EQ(clone->name(), "Copy");
        EXPECT_EQ(warningsIn(m_log), 0U) << m_log;
        EXPECT_EQ(clone->taskCount(), m_source->taskCount());

        const auto members = clone->team().members();
        ASSERT_EQ(members.size(), 3U);
        EXPECT_NE(members[0], m_ann);
        EXPECT_EQ(members[0]->name(), "Ann Arbor");
        EXPECT_EQ(members[0]->email(), "ann@example.org");
        EXPECT_EQ(members[0]->costRate(), 50.0);
        EXPECT_EQ(members[2]->id(), 3);

        algorithm::treeTravel(m_source->storedRoot(), true, [&](const TaskPtr& task) {
            const auto copy = clone->findTask(task->id());
            expectKeeps(task, copy);
            EXPECT_EQ(childIds(copy), childIds(task));
            EXPECT_EQ(predecessorIds(copy), predecessorIds(task));
            EXPECT_EQ(testing::successorIds(copy), testing::successorIds(task));
        });
        EXPECT_EQ(clone->storedRoot()->id(), 0);
    }

    // Without milestones the milestone is dropped, and its absence reported.
    const auto clone =
        checked([&] { return document::clone(*m_source, nullptr, "Copy", {}, false, false); });
    EXPECT_EQ(clone->findTask(4), nullptr);
    EXPECT_EQ(childIds(clone->findTask(1)), (Ids{2, 3}));
    EXPECT_EQ(countOf(m_log, "Clone incorrect, as task \"Design\" or \"Signed\" not be cloned"), 1U)
        << m_log;
    EXPECT_EQ(warningsIn(m_log), 1U);
}

TEST_F(ProjectCloneTest, WholeProjectAsToDoList) {
    const auto clone =
        checked([&] { return document::clone(*m_source, nullptr, "List", {}, true, true); });
    // No groups and no milestone, even when milestones are asked for.
    EXPECT_EQ(childIds(clone->storedRoot()), (Ids{2, 3, 6, 7, 8, 9, 10}));
    EXPECT_EQ(clone->taskCount(), 8U);
    EXPECT_EQ(clone->team().count(), 3U);
    EXPECT_EQ(predecessorIds(clone->findTask(7)), (Ids{6}));
    EXPECT_EQ(predecessorIds(clone->findTask(3)), (Ids{9}));
    EXPECT_EQ(countOf(m_log, "\"Root\" or \"Design\""), 1U) << m_log;
    EXPECT_EQ(countOf(m_log, "\"Design\" or \"Signed\""), 1U);
    EXPECT_EQ(countOf(m_log, "\"Root\" or \"Build\""), 1U);
    EXPECT_EQ(warningsIn(m_log), 3U);
    for (const auto id : {2, 3, 6, 7, 8, 9, 10}) {
        expectKeeps(source(id), clone->findTask(id));
    }
}

TEST_F(ProjectCloneTest, OneMemberKeepsTheGroupsAboveItsTasks) {
    const auto clone = checked([&] {
        return document::clone(*m_source, nullptr, "Bob", Ids{2, 2, 42}, false, true);
    });
    ASSERT_EQ(clone->team().count(), 1U);
    const auto bob = clone->team().get(2);
    EXPECT_NE(bob, m_bob);
    EXPECT_EQ(bob->name(), "Bob Bell");

    EXPECT_EQ(childIds(clone->storedRoot()), (Ids{1, 5, 9}));
    EXPECT_EQ(childIds(clone->findTask(1)), (Ids{3, 4}));
    EXPECT_EQ(childIds(clone->findTask(5)), (Ids{6}));
    EXPECT_EQ(clone->taskCount(), 7U);
    EXPECT_TRUE(clone->findTask(4)->isMilestone());
    // Links between the member's tasks stay; links to tasks left out go.
    EXPECT_EQ(predecessorIds(clone->findTask(3)), (Ids{9}));
    EXPECT_EQ(predecessorIds(clone->findTask(6)), (Ids{3}));
    EXPECT_EQ(testing::successorIds(clone->findTask(6)), Ids{});
    EXPECT_EQ(testing::successorIds(clone->findTask(3)), (Ids{6}));
    EXPECT_EQ(warningsIn(m_log), 0U) << m_log;

    // Prep is shared half and half: Bob's copy carries half its fixed work.
    const auto prep = clone->findTask(9);
    EXPECT_EQ(prep->workData(), ZozTaskWork::fixAmount(8));
    EXPECT_EQ(prep->resources().toRowData(), ",2,50");
    EXPECT_EQ(prep->resources().assignments()[0]->member(), bob);
    // Design keeps only Review and the milestone, and spans them alone.
    EXPECT_EQ(clone->findTask(1)->name(), "Design");
    EXPECT_EQ(clone->findTask(1)->start(), localDate(2024, 3, 6));

    // Without milestones; and a member whose one task hangs under the root drops both groups.
    auto noMilestone =
        checked([&] { return document::clone(*m_source, nullptr, "Bob", Ids{2}, false, false); });
    EXPECT_EQ(childIds(noMilestone->findTask(1)), (Ids{3}));
    auto cid =
        checked([&] { return document::clone(*m_source, nullptr, "Cid", Ids{3}, false, true); });
    EXPECT_EQ(childIds(cid->storedRoot()), (Ids{10}));
    EXPECT_EQ(cid->taskCount(), 2U);
    // Its predecessor was not cloned.
    EXPECT_EQ(predecessorIds(cid->findTask(10)), Ids{});
}

TEST_F(ProjectCloneTest, OneMemberAsToDoList) {
    const auto clone =
        checked([&] { return document::clone(*m_source, nullptr, "Bob", Ids{2}, true, true); });
    EXPECT_EQ(childIds(clone->storedRoot()), (Ids{3, 6, 9}));
    EXPECT_EQ(clone->taskCount(), 4U);
    EXPECT_EQ(predecessorIds(clone->findTask(6)), (Ids{3}));
    EXPECT_EQ(warningsIn(m_log), 0U) << m_log;
}

TEST_F(ProjectCloneTest, MemberWithoutTasksGivesABareRoot) {
    m_source->findTask(10)->resources().remove(3);
    const auto clone =
        checked([&] { return document::clone(*m_source, nullptr, "Cid", Ids{3}, false, true); });
    EXPECT_EQ(countOf(m_log, "Root task not be cloned"), 1U) << m_log;
    EXPECT_EQ(warningsIn(m_log), 1U);
    // The warning names the cloning operation, not a helper of it.
    EXPECT_EQ(countOf(m_log, ").(clone(fromRootTask:projectName:forProjectmemberIdentifiers:"
                             "exportAsTodoList:includeMilestone:)).(#"),
              1U)
        << m_log;
    EXPECT_EQ(clone->storedRoot()->id(), 0);
    EXPECT_EQ(clone->storedRoot()->name(), "Root");
    EXPECT_FALSE(clone->storedRoot()->hasChilds());
    EXPECT_EQ(clone->taskCount(), 1U);
    EXPECT_EQ(clone->team().count(), 1U);
}

TEST_F(ProjectCloneTest, SubtreeCloneHasItsTopAsRoot) {
    const auto build = source(5);
    for (const bool todo : {false, true}) {
        const auto clone =
            checked([&] { return document::clone(*m_source, build, "Build", Ids{2}, todo, true); });
        EXPECT_EQ(clone->storedRoot()->id(), 5);
        EXPECT_EQ(childIds(clone->storedRoot()), (Ids{6}));
        EXPECT_EQ(clone->taskCount(), 2U);
        EXPECT_EQ(warningsIn(m_log), 0U) << m_log;
        // Frame's predecessor lies outside the subtree.
        EXPECT_EQ(predecessorIds(clone->findTask(6)), Ids{});
    }
    const auto whole =
        checked([&] { return document::clone(*m_source, build, "Build", {}, false, true); });
    EXPECT_EQ(childIds(whole->storedRoot()), (Ids{6, 7}));
    EXPECT_EQ(predecessorIds(whole->findTask(7)), (Ids{6}));
}

TEST_F(ProjectCloneTest, DateRangeClipsPartlyIncludedTasks) {
    const auto clipped = checked([&] {
        return document::clone(*m_source, nullptr, "Week", localDate(2024, 3, 4),
                               localDate(2024, 3, 8), true);
    });
    // Build starts after the range; Prep ends (exclusive) on its first day; Launch starts on its
    // last day.
    EXPECT_EQ(childIds(clipped->storedRoot()), (Ids{1, 8, 10}));
    EXPECT_EQ(childIds(clipped->findTask(1)), (Ids{2, 3, 4}));
    const auto party = clipped->findTask(8);
    EXPECT_EQ(party->start(), localDate(2024, 3, 4));
    EXPECT_EQ(party->finish(), localDate(2024, 3, 9));
    expectKeeps(source(2), clipped->findTask(2));
    // Review's predecessor fell outside the range; Launch keeps Review.
    EXPECT_EQ(predecessorIds(clipped->findTask(3)), Ids{});
    EXPECT_EQ(predecessorIds(clipped->findTask(10)), (Ids{3}));
    EXPECT_EQ(countOf(m_log, "\"Root\" or \"Build\""), 1U) << m_log;
    EXPECT_EQ(countOf(m_log, "\"Build\" or \"Frame\""), 1U);
    EXPECT_EQ(countOf(m_log, "\"Build\" or \"Roof\""), 1U);
    EXPECT_EQ(countOf(m_log, "\"Root\" or \"Prep\""), 1U);
    EXPECT_EQ(warningsIn(m_log), 4U);
    EXPECT_EQ(clipped->team().count(), 3U);

    const auto kept = checked([&] {
        return document::clone(*m_source, nullptr, "Week", localDate(2024, 3, 4),
                               localDate(2024, 3, 8), false);
    });
    EXPECT_EQ(kept->findTask(8)->start(), localDate(2024, 3, 1));
    EXPECT_EQ(kept->findTask(8)->finish(), localDate(2024, 3, 12));
    EXPECT_EQ(kept->storedRoot()->start(), localDate(2024, 3, 1));

    // A range the root does not reach gives a bare root.
    const auto none = checked([&] {
        return document::clone(*m_source, nullptr, "Later", localDate(2025, 1, 1),
                               localDate(2025, 1, 2), true);
    });
    EXPECT_EQ(countOf(m_log, "Root task not be cloned"), 1U) << m_log;
    EXPECT_EQ(none->taskCount(), 1U);
}

TEST_F(ProjectCloneTest, SingleTasks) {
    const auto clone = checked([&] {
        return document::clone(*m_source, nullptr,
                               std::vector<TaskPtr>{source(6), source(3), nullptr, source(3),
                                                    m_source->storedRoot(), source(1)},
                               "Picked");
    });
    EXPECT_EQ(clone->storedRoot()->id(), 0);
    EXPECT_EQ(childIds(clone->storedRoot()), (Ids{6, 3, 1}));
    // A picked group comes without its children.
    EXPECT_FALSE(clone->findTask(1)->hasChilds());
    EXPECT_EQ(clone->findTask(1)->finish(), localDate(2024, 3, 8));
    EXPECT_EQ(predecessorIds(clone->findTask(6)), (Ids{3}));
    EXPECT_EQ(predecessorIds(clone->findTask(3)), Ids{});
    EXPECT_EQ(clone->team().count(), 3U);
    // The repeated task and the root itself are left out.
    EXPECT_EQ(countOf(m_log, "\"Root\" or \"Review\""), 1U) << m_log;
    EXPECT_EQ(countOf(m_log, "\"Root\" or \"Root\""), 1U);
    EXPECT_EQ(warningsIn(m_log), 2U);
}

TEST_F(ProjectCloneTest, RepeatedSourceIdsStillGiveATree) {
    // A second task with Frame's id under Design, outside the project's dictionary.
    auto twin =
        ZozProjectTask::create(m_source, nullptr, 6, localDate(2024, 3, 5), localDate(2024, 3, 6));
    twin->setName("Twin");
    twin->resources().addOrUpdateResource(m_bob, 100);
    source(1)->addChild(twin);
    m_sourceIsTree = false;

    for (const auto& ids : {std::optional<Ids>{}, std::optional<Ids>{Ids{2}}}) {
        const auto clone =
            checked([&] { return document::clone(*m_source, nullptr, "Copy", ids, false, true); });
        // The first task met under id 6 is cloned once, and placed once.
        EXPECT_EQ(clone->findTask(6)->name(), "Twin");
        EXPECT_EQ(childIds(clone->findTask(1)).back(), 6);
        EXPECT_EQ(childIds(clone->findTask(5)), ids ? Ids{} : (Ids{7}));
        EXPECT_EQ(countOf(m_log, "\"Build\" or \"Frame\""), 1U) << m_log;
    }
    const auto list =
        checked([&] { return document::clone(*m_source, nullptr, "List", {}, true, true); });
    EXPECT_EQ(countOf(m_log, "\"Build\" or \"Frame\""), 1U) << m_log;
    EXPECT_EQ(list->taskCount(), 8U);
}

// Runs `body` on a thread whose stack is far too small for a call per level of a tree 1,500
// deep (about 64 bytes a level), yet about three times what a sanitized build needs without one.
void onSmallStack(const std::function<void()>& body) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 96 * 1024), 0);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        (*static_cast<const std::function<void()>*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&body)),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST_F(ProjectCloneTest, TenThousandTasksInADeepTreeNeedNoDeepStack) {
    // A chain of groups 1,500 deep, then 85 groups of 99 single tasks under the root. (A group's
    // completion walks its whole subtree and a parent looks through its children before it takes
    // one more, so deeper chains and wider groups would only make the test slow.)
    constexpr std::int64_t kDepth = 1'500;
    constexpr std::int64_t kTasks = 10'000;
    auto big = ZozProject::create("big", "Big");
    const auto ann = big->team().add("Ann");
    const auto make = [&](const TaskPtr& parent, std::int64_t id) {
        auto task = big->createChild(parent, id, localDate(2024, 3, 4), localDate(2024, 3, 5));
        task->resources().addOrUpdateResource(ann, 100);
        return task;
    };
    auto parent = big->root();
    for (std::int64_t id = 1; id <= kDepth; ++id) {
        parent = make(parent, id);
    }
    for (std::int64_t id = kDepth + 1; id <= kTasks; id += 100) {
        const auto group = make(big->root(), id);
        for (std::int64_t leaf = id + 1; leaf < id + 100; ++leaf) {
            make(group, leaf);
        }
    }
    const auto depthOf = [](const TaskPtr& task) {
        std::int64_t depth = 0;
        for (auto* node = task.get(); node->hasChilds(); node = node->firstChild().get()) {
            ++depth;
        }
        return depth;
    };

    onSmallStack([&] {
        ::testing::internal::CaptureStdout();
        const auto whole = clone(*big, nullptr, "Whole", {}, false, false);
        const auto share = clone(*big, nullptr, "Share", Ids{1}, false, false);
        const auto range =
            clone(*big, nullptr, "Range", localDate(2024, 3, 4), localDate(2024, 3, 4), true);
        EXPECT_EQ(warningsIn(::testing::internal::GetCapturedStdout()), 0U);
        for (const auto& project : {whole, share, range}) {
            EXPECT_EQ(depthOf(project->storedRoot()), kDepth);
            EXPECT_EQ(project->taskCount(), static_cast<std::size_t>(kTasks) + 1);
        }
        expectSelfContained(*whole);
    });
}

} // namespace
} // namespace document
