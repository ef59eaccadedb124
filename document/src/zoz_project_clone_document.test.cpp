#include "document/zoz_project_clone.hpp"
#include "document/zoz_x.hpp"

#include "clone_test_support.hpp"

#include "core/calendar.hpp"
#include "core/date_amounts.hpp"
#include "core/uuid.hpp"

#include "project_generator.hpp"

#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

namespace document {
namespace {

namespace fs = std::filesystem;
using testing::describe;
using testing::expectKeeps;
using testing::expectSelfContained;
using testing::predecessorIds;
using TaskPtr = ZozProjectTask::Ptr;
using Ids = std::vector<std::int64_t>;

Ids childIds(const TaskPtr& task) {
    Ids ids;
    for (const auto& child : task->childs()) {
        ids.push_back(child->id());
    }
    return ids;
}

std::int64_t parentId(const TaskPtr& task) {
    return task->parentPointer() ? task->parentPointer()->id() : -1;
}

// The ids of `task`'s predecessors that `clone` holds.
Ids keptPredecessorIds(const TaskPtr& task, const ZozProject& clone) {
    Ids ids;
    for (const auto id : predecessorIds(task)) {
        if (clone.findTask(id)) {
            ids.push_back(id);
        }
    }
    return ids;
}

// Every task of `project`'s tree, the root included, in pre-order.
std::vector<TaskPtr> tasksOf(const ZozProject& project) {
    std::vector<TaskPtr> tasks;
    algorithm::treeTravel(project.storedRoot(), true,
                          [&](const TaskPtr& task) { tasks.push_back(task); });
    return tasks;
}

class CloneDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("clone-" + core::Uuid::random().uuidString());
        fs::create_directories(m_folder);
        bench::ProjectPlan plan = bench::ProjectPlan::tiny();
        plan.taskCount = 800;
        plan.memberCount = 12;
        plan.maxDepth = 5;
        plan.years = 1;
        plan.photoSide = 8;
        m_source = bench::writeProjectDocument(plan, m_folder / "source", m_folder / "source.zoz");
        ASSERT_TRUE(m_source);
        m_sourceJson = *m_manager.jsonString(*m_source, true);
        m_sourceText = describe(*m_source);
    }

    void TearDown() override {
        // Nothing a clone did, nor reading the source for the checks, changed the source.
        if (m_source) {
            EXPECT_EQ(*m_manager.jsonString(*m_source, true), m_sourceJson);
            EXPECT_EQ(describe(*m_source), m_sourceText);
        }
        fs::remove_all(m_folder);
    }

    // Writes `clone` as a document beside the source's images and reads it back.
    std::shared_ptr<ZozProject> writtenAndRead(ZozProject& clone) {
        const auto name = clone.name();
        const fs::path work = m_folder / name / "work";
        fs::create_directories(work.parent_path());
        fs::copy(m_folder / "source", work, fs::copy_options::recursive);
        m_manager.saveProject(clone, files::VtFolder(work));
        const fs::path document = m_folder / name / "clone.zoz";
        m_manager.zozFile(clone, files::VtFolder(work), files::VtFile(document));
        const files::VtFolder read(m_folder / name / "read");
        read.create();
        auto project = m_manager.load(files::VtFile(document), read);
        EXPECT_EQ(project->name(), name);
        expectSelfContained(*project);
        expectSettings(*project);
        return project;
    }

    // The settings a clone takes from its source, and those it leaves at their defaults.
    void expectSettings(ZozProject& read) const {
        const auto& source = *m_source;
        EXPECT_NE(read.uid(), source.uid());
        EXPECT_NE(read.version(), source.version());
        EXPECT_EQ(read.oldColorIndex(), source.oldColorIndex());
        EXPECT_EQ(read.newColorIndex(), source.newColorIndex());
        EXPECT_EQ(read.imageId(), source.imageId());
        EXPECT_EQ(read.notes(), source.notes());
        EXPECT_EQ(read.timespaceScale(), source.timespaceScale());
        EXPECT_EQ(read.timespaceOrginalTime(), source.timespaceOrginalTime());
        EXPECT_EQ(read.screenOffsetY(), source.screenOffsetY());
        EXPECT_EQ(read.defaultCostRate(), source.defaultCostRate());
        EXPECT_EQ(read.dailyWorkingHours(), source.dailyWorkingHours());
        EXPECT_EQ(read.displayCurrencyAtBegin(), source.displayCurrencyAtBegin());
        EXPECT_EQ(read.currency(), source.currency());
        EXPECT_EQ(read.calendar().rowData(), m_source->calendar().rowData());
        ASSERT_TRUE(source.pdfAuthorName() && source.pdfBannerImageId());
        ASSERT_TRUE(source.onlyWorkingDayTaskSchedule());
        EXPECT_FALSE(read.pdfAuthorName().has_value());
        EXPECT_FALSE(read.pdfBannerImageId().has_value());
        EXPECT_FALSE(read.onlyWorkingDayTaskSchedule());
        EXPECT_FALSE(read.userHasSetLinkType());
        EXPECT_EQ(read.taskLinkType(), ZozTaskLinkType::finishToStart);
        EXPECT_FALSE(read.device().has_value());
    }

    fs::path m_folder;
    // The plan's dates cross both daylight-saving changes of this zone.
    core::ScopedCalendarOverride m_zone{"Europe/Berlin", "de_DE"};
    const ZozX::Manager m_manager{};
    std::shared_ptr<ZozProject> m_source;
    std::string m_sourceJson;
    std::string m_sourceText;
};

TEST_F(CloneDocumentTest, WholeProjectReadsBackAsTheSource) {
    auto whole = clone(*m_source, nullptr, "Whole", std::nullopt, false, true);
    const auto read = writtenAndRead(*whole);
    EXPECT_EQ(read->taskCount(), m_source->taskCount());
    for (const auto& task : tasksOf(*m_source)) {
        const auto copy = read->findTask(task->id());
        expectKeeps(task, copy);
        if (!copy) {
            continue;
        }
        EXPECT_EQ(parentId(copy), parentId(task));
        EXPECT_EQ(childIds(copy), childIds(task));
        EXPECT_EQ(predecessorIds(copy), predecessorIds(task));
    }
    const auto members = m_source->team().members();
    const auto copies = read->team().members();
    ASSERT_EQ(copies.size(), members.size());
    for (std::size_t i = 0; i < members.size(); ++i) {
        EXPECT_EQ(copies[i]->id(), members[i]->id());
        EXPECT_EQ(copies[i]->name(), members[i]->name());
        EXPECT_EQ(copies[i]->email(), members[i]->email());
        EXPECT_EQ(copies[i]->photoid(), members[i]->photoid());
        EXPECT_EQ(copies[i]->costRate(), members[i]->costRate());
    }
}

TEST_F(CloneDocumentTest, ToDoListReadsBackFlat) {
    auto list = clone(*m_source, nullptr, "List", std::nullopt, true, true);
    const auto read = writtenAndRead(*list);
    Ids leaves;
    for (const auto& task : tasksOf(*m_source)) {
        if (task->parentPointer() && !task->hasChilds() && !task->isMilestone()) {
            leaves.push_back(task->id());
            expectKeeps(task, read->findTask(task->id()));
        }
    }
    EXPECT_EQ(childIds(read->storedRoot()), leaves);
    for (const auto& task : tasksOf(*read)) {
        EXPECT_EQ(predecessorIds(task), keptPredecessorIds(m_source->findTask(task->id()), *read));
    }
}

TEST_F(CloneDocumentTest, MembersShareReadsBackScaled) {
    const Ids chosen{2, 5};
    auto share = clone(*m_source, nullptr, "Share", chosen, false, true);
    const auto read = writtenAndRead(*share);
    ASSERT_EQ(read->team().count(), 2U);
    EXPECT_EQ(read->team().get(5)->name(), m_source->team().get(5)->name());

    std::size_t shares = 0;
    for (const auto& task : tasksOf(*m_source)) {
        const auto copy = read->findTask(task->id());
        SCOPED_TRACE("task " + std::to_string(task->id()));
        if (!task->parentPointer() || task->hasChilds()) {
            // A group stays exactly when a chosen member's task lies below it.
            const bool below = algorithm::treeContains(task, [&](const TaskPtr& t) {
                return t->isSingleTask() && t->resources().isAnyMemberIncluded(chosen);
            });
            EXPECT_EQ(copy != nullptr, below);
            continue;
        }
        if (task->isMilestone()) {
            EXPECT_EQ(copy != nullptr, read->findTask(parentId(task)) != nullptr);
            continue;
        }
        auto& from = task->resources();
        if (!task->isSingleTask() || !from.isAnyMemberIncluded(chosen)) {
            EXPECT_EQ(copy, nullptr);
            continue;
        }
        ASSERT_NE(copy, nullptr);
        ++shares;
        EXPECT_EQ(parentId(copy), parentId(task));
        std::string row;
        double units = 0;
        for (const auto id : chosen) {
            if (const auto a = from.getAssignmentByMemberId(id)) {
                row.append(",").append(std::to_string(id));
                row.append(",").append(std::to_string(a->workload()));
                units += static_cast<double>(a->workload()) / 100.0;
            }
        }
        EXPECT_EQ(copy->resources().toRowData(), row);
        const double ratio = units / from.unitsOfWorkload();
        EXPECT_EQ(copy->workData().kind(), task->workData().kind());
        EXPECT_NEAR(copy->workData().amount(), task->workData().amount() * ratio, 1e-9);
        EXPECT_EQ(copy->costData().laborCost.isFix(), task->costData().laborCost.isFix());
        EXPECT_NEAR(copy->costData().laborCost.amount(),
                    task->costData().laborCost.amount() * ratio, 1e-9);
        EXPECT_NEAR(copy->materialsCost(), task->materialsCost() * ratio, 1e-9);
        EXPECT_EQ(copy->start(), task->start());
        EXPECT_EQ(copy->finish(), task->finish());
        EXPECT_EQ(copy->completePercentage(), task->completePercentage());
        EXPECT_EQ(copy->workCompletePercentage(), task->workCompletePercentage());
        EXPECT_EQ(copy->url1(), task->url1());
        EXPECT_EQ(copy->contactor(), nullptr);
        EXPECT_FALSE(copy->notes().has_value());
        EXPECT_EQ(predecessorIds(copy), keptPredecessorIds(task, *read));
    }
    EXPECT_GT(shares, 10U);
}

TEST_F(CloneDocumentTest, DateRangeReadsBackClipped) {
    const auto from = m_source->storedRoot()->start() + core::VtDays(40);
    const auto to = from + core::VtDays(20);
    const auto end = to + core::VtDays(1);
    auto range = clone(*m_source, nullptr, "Range", from, to, true);
    const auto read = writtenAndRead(*range);

    std::size_t clipped = 0;
    for (const auto& task : tasksOf(*m_source)) {
        const auto copy = read->findTask(task->id());
        SCOPED_TRACE("task " + std::to_string(task->id()));
        // A task is in the clone when it and every task above it overlap the range.
        bool overlaps = true;
        for (auto* t = task.get(); t; t = t->parentPointer()) {
            overlaps = overlaps && !(t->start() > to) && t->finish() > from;
        }
        EXPECT_EQ(copy != nullptr, overlaps);
        if (!copy) {
            continue;
        }
        EXPECT_EQ(parentId(copy), parentId(task));
        EXPECT_EQ(predecessorIds(copy), keptPredecessorIds(task, *read));
        if (task->hasChilds() || task->isMilestone()) {
            continue;
        }
        EXPECT_EQ(copy->start(), std::max(task->start(), from));
        EXPECT_EQ(copy->finish(), std::min(task->finish(), end));
        clipped += copy->start() != task->start() || copy->finish() != task->finish() ? 1U : 0U;
        EXPECT_EQ(copy->resources().toRowData(), task->resources().toRowData());
        EXPECT_EQ(copy->workData(), task->workData());
    }
    EXPECT_GT(clipped, 0U);
}

// Runs `body` on a thread whose stack holds no call per tree level of a large project.
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

TEST(CloneLargeProjectTest, TenThousandTasksCloneIntoProjectsOfTheirOwn) {
    const core::ScopedCalendarOverride zone{"Europe/Berlin", "de_DE"};
    bench::ProjectPlan plan = bench::ProjectPlan::large();
    plan.photoSide = 0;
    const auto source = bench::generateProject(plan);
    ASSERT_EQ(source->taskCount(), 10'001U);
    const auto before = describe(*source);

    onSmallStack([&] {
        ::testing::internal::CaptureStdout();
        const auto from = source->storedRoot()->start() + core::VtDays(100);
        const auto clones = {
            clone(*source, nullptr, "Whole", std::nullopt, false, true),
            clone(*source, nullptr, "Share", Ids{1, 2, 3}, false, true),
            clone(*source, nullptr, "List", Ids{1, 2, 3}, true, true),
            clone(*source, nullptr, "Range", from, from + core::VtDays(60), true),
        };
        ::testing::internal::GetCapturedStdout();
        for (const auto& project : clones) {
            expectSelfContained(*project);
        }
        EXPECT_EQ(clones.begin()->get()->taskCount(), 10'001U);
    });
    EXPECT_EQ(describe(*source), before);
}

} // namespace
} // namespace document
