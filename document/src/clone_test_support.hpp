#pragma once

// Checks shared by the cloning tests: what a clone must keep of each task, and that a clone
// holds nothing of its source.

#include "document/date_baseline.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_task_links.hpp"

#include "algorithm/tree_node.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

namespace document::testing {

/// The ids of a collection's stored entries, in order.
inline std::vector<std::int64_t> idsOf(const ZozLinkCollection& links) {
    std::vector<std::int64_t> ids;
    for (const auto& task : links.storedLinks()) {
        ids.push_back(task->id());
    }
    return ids;
}

/// The ids of `task`'s predecessors, without creating its links.
inline std::vector<std::int64_t> predecessorIds(const ZozProjectTask::Ptr& task) {
    return task->hasLinksObject() ? idsOf(task->links().predecessorCollection())
                                  : std::vector<std::int64_t>{};
}

/// The ids of `task`'s successors, without creating its links.
inline std::vector<std::int64_t> successorIds(const ZozProjectTask::Ptr& task) {
    return task->hasLinksObject() ? idsOf(task->links().successorCollection())
                                  : std::vector<std::int64_t>{};
}

/// Every stored value of the project, its team and its tasks, as text; reading it changes
/// nothing that the text shows.
inline std::string describe(ZozProject& project) {
    std::ostringstream out;
    out << project.uid() << '|' << project.name() << '|' << project.version() << '|'
        << project.oldColorIndex() << '|' << project.newColorIndex() << '|'
        << project.imageId().value_or("-") << '|' << project.notes().value_or("-") << '|'
        << project.defaultCostRate() << '|' << project.currency() << '|'
        << project.dailyWorkingHours() << '|' << project.taskCount() << '|'
        << (project.storedCalendar() ? project.storedCalendar()->rowData().value_or("-") : "none")
        << '\n';
    for (const auto& member : project.team().members()) {
        out << "member " << member->id() << ' ' << member->name() << ' ' << member->costRate()
            << '\n';
    }
    if (!project.storedRoot()) {
        return out.str();
    }
    algorithm::treeTravel(project.storedRoot(), true, [&](const ZozProjectTask::Ptr& task) {
        out << task->id() << ' ' << task->name() << " parent "
            << (task->parent() ? task->parent()->id() : -1) << " kind "
            << static_cast<int>(task->innerType()) << ' '
            << task->storedStart().timeIntervalSince1970() << ' '
            << task->storedFinish().timeIntervalSince1970() << ' '
            << task->storedCompletedPercentage() << ' ' << task->storedWorkCompletedPercentage()
            << " work " << static_cast<int>(task->workData().kind()) << ' '
            << task->workData().amount() << " cost " << task->costData().laborCost.isFix() << ' '
            << task->costData().laborCost.amount() << ' '
            << task->costData().materialsCost.value_or(-1) << " res "
            << task->ownResources().toRowData() << " contact "
            << (task->contactor() ? task->contactor()->id() : -1) << " notes "
            << task->notes().value_or("-") << " icon " << task->iconIndex() << " color "
            << task->color().index << " baseline " << (task->storedDateBaseline() != nullptr)
            << " links " << task->hasLinksObject();
        for (const auto id : predecessorIds(task)) {
            out << " p" << id;
        }
        for (const auto id : successorIds(task)) {
            out << " s" << id;
        }
        out << '\n';
    });
    return out.str();
}

/// Checks that `clone` is a tree of its own: every task belongs to it, is registered under its
/// unique id and is listed by its parent; every member it refers to and every linked task is its
/// own, and each link is recorded on both ends.
inline void expectSelfContained(ZozProject& clone) {
    const auto& root = clone.storedRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->parent(), nullptr);
    std::unordered_set<std::int64_t> ids;
    const auto owned = [&](const std::shared_ptr<ZozProjectMember>& member) {
        return member && clone.team().get(member->id()) == member;
    };
    algorithm::treeTravel(root, true, [&](const ZozProjectTask::Ptr& task) {
        EXPECT_TRUE(ids.insert(task->id()).second) << "id " << task->id() << " twice";
        EXPECT_EQ(task->project().get(), &clone);
        EXPECT_EQ(clone.findTask(task->id()), task);
        for (const auto& child : task->childs()) {
            EXPECT_EQ(child->parentPointer(), task.get());
        }
        for (const auto& assignment : task->ownResources().assignments()) {
            EXPECT_TRUE(owned(assignment->member())) << "task " << task->id();
        }
        if (task->contactor()) {
            EXPECT_TRUE(owned(task->contactor())) << "task " << task->id();
        }
        if (!task->hasLinksObject()) {
            return;
        }
        for (const auto& p : task->links().predecessorCollection().storedLinks()) {
            EXPECT_EQ(clone.findTask(p->id()), p) << "task " << task->id();
            const auto back = successorIds(p);
            EXPECT_NE(std::find(back.begin(), back.end(), task->id()), back.end());
        }
        for (const auto& s : task->links().successorCollection().storedLinks()) {
            EXPECT_EQ(clone.findTask(s->id()), s) << "task " << task->id();
        }
    });
    EXPECT_EQ(ids.size(), clone.taskCount());
}

/// Checks that `copy` keeps what a clone keeps of `source`: name, kind, dates, percentages, stored
/// work of a single task, labour and materials cost, web links, icon, colour, baseline dates,
/// assignments and contact member by member id; and that it drops the notes.
inline void expectKeeps(const ZozProjectTask::Ptr& source, const ZozProjectTask::Ptr& copy) {
    ASSERT_NE(copy, nullptr) << "no copy of task " << source->id();
    SCOPED_TRACE("task " + std::to_string(source->id()));
    EXPECT_EQ(copy->id(), source->id());
    EXPECT_EQ(copy->name(), source->name());
    EXPECT_EQ(copy->type(), source->type());
    EXPECT_EQ(copy->start(), source->start());
    EXPECT_EQ(copy->finish(), source->finish());
    EXPECT_EQ(copy->completePercentage(), source->completePercentage());
    EXPECT_EQ(copy->workCompletePercentage(), source->workCompletePercentage());
    if (!source->hasChilds()) {
        EXPECT_EQ(copy->workData(), source->workData());
        EXPECT_EQ(copy->costData().laborCost, source->costData().laborCost);
    }
    EXPECT_DOUBLE_EQ(copy->materialsCost(), source->materialsCost());
    EXPECT_EQ(copy->url1(), source->url1());
    EXPECT_EQ(copy->url2(), source->url2());
    EXPECT_EQ(copy->iconIndex(), source->iconIndex());
    EXPECT_EQ(copy->color(), source->color());
    const auto& from = source->storedDateBaseline();
    const auto& to = copy->storedDateBaseline();
    EXPECT_EQ(from ? from->start() : std::nullopt, to ? to->start() : std::nullopt);
    EXPECT_EQ(from ? from->finish() : std::nullopt, to ? to->finish() : std::nullopt);
    EXPECT_EQ(copy->resources().toRowData(), source->resources().toRowData());
    EXPECT_EQ(copy->contactor() ? copy->contactor()->id() : -1,
              source->contactor() ? source->contactor()->id() : -1);
    EXPECT_FALSE(copy->notes().has_value());
}

} // namespace document::testing
