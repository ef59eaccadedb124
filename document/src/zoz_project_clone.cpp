#include "document/zoz_project_clone.hpp"

#include "document/zoz_task_copying.hpp"
#include "document/zoz_task_links.hpp"

#include "algorithm/tree_node.hpp"
#include "core/date_amounts.hpp"
#include "core/log.hpp"
#include "core/uuid.hpp"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace document {

namespace {

using TaskPtr = ZozProjectTask::Ptr;

// Builds one clone. Copies keep their originals' ids, and the clone map holds one copy per id:
// the first task met under an id is copied, and any later task under the same id is represented
// by that copy, which is placed in the new tree once only. So a source whose ids repeat still
// gives a clone that is a tree with unique ids.
class ProjectCloner {
public:
    ProjectCloner(ZozProject& source, const TaskPtr& fromRootTask, std::string projectName,
                  core::LogLocation at)
        : m_source(source), m_sourceRoot(fromRootTask ? fromRootTask : source.root()), m_at(at) {
        m_target = ZozProject::create(core::Uuid::random().uuidString(), std::move(projectName));
        copySettings();
    }

    ZozProject& target() const { return *m_target; }
    const std::shared_ptr<ZozProject>& targetPointer() const { return m_target; }
    const TaskPtr& sourceRoot() const { return m_sourceRoot; }

    // The whole source team, cloned member by member.
    void cloneWholeTeam() { m_target->setTeam(m_source.team().clone()); }

    TaskPtr copyOf(std::int64_t id) const {
        const auto found = m_copies.find(id);
        return found == m_copies.end() ? nullptr : found->second;
    }
    bool hasCopy(std::int64_t id) const { return m_copies.contains(id); }

    // The copy standing for `task`, made now when its id has none yet.
    TaskPtr copy(ZozProjectTask& task) {
        if (auto existing = copyOf(task.id())) {
            return existing;
        }
        auto made = clonePropertyExceptChildrenAndLinkToOtherProject(task, m_target);
        m_copies.emplace(task.id(), made);
        return made;
    }

    // Keeps `made` (a copy of a task whose id has none yet) in the clone map.
    void keep(const TaskPtr& made) { m_copies.try_emplace(made->id(), made); }

    void warnNotCloned(const ZozProjectTask& first, const ZozProjectTask& second) const {
        core::Log::warning(
            [&] {
                return "Clone incorrect, as task \"" + first.name() + "\" or \"" + second.name() +
                       "\" not be cloned";
            },
            m_at);
    }

    // Hangs `child` (the copy of source task `sourceChild`) under `parent`. A copy already placed
    // stays where it is, and the copy that is to become the root is never placed below anything:
    // either would turn the tree into something else.
    void attach(const TaskPtr& parent, const TaskPtr& child, const ZozProjectTask& sourceParent,
                const ZozProjectTask& sourceChild) {
        if (child->parentPointer() != nullptr || child == copyOf(m_sourceRoot->id()) ||
            !parent->addChild(child)) {
            warnNotCloned(sourceParent, sourceChild);
        }
    }

    // Every parent/child pair of the source subtree again between the copies.
    void rebuildParentChild() {
        algorithm::treeTravel(m_sourceRoot, [&](const TaskPtr& parent, const TaskPtr& child) {
            const auto parentCopy = copyOf(parent->id());
            const auto childCopy = copyOf(child->id());
            if (parentCopy && childCopy) {
                attach(parentCopy, childCopy, *parent, *child);
            } else {
                warnNotCloned(*parent, *child);
            }
        });
    }

    // The source root's copy becomes the root, or a fresh childless copy when there is none.
    void installRoot() {
        auto root = copyOf(m_sourceRoot->id());
        if (!root || root->parentPointer() != nullptr) {
            core::Log::warning("Root task not be cloned", m_at);
            root = clonePropertyExceptChildrenAndLinkToOtherProject(*m_sourceRoot, m_target);
        }
        installRoot(root);
    }

    void installRoot(const TaskPtr& root) {
        m_target->initializeByCalendarAndTeamAndRootTask(nullptr, std::nullopt, root);
    }

    // Each source predecessor link whose two ends have copies in the new tree, made again
    // between those copies; every other link is dropped.
    void relink(bool includeRoot) {
        algorithm::treeTravel(m_sourceRoot, includeRoot, [&](const TaskPtr& task) {
            if (!task->hasLinksObject()) {
                return;
            }
            const auto* predecessors = task->getPredecessors();
            const auto copy = predecessors != nullptr ? placedCopy(task->id()) : nullptr;
            if (!copy) {
                return;
            }
            const auto links = predecessors->links();
            if (!links) {
                return;
            }
            for (const auto& predecessor : *links) {
                const auto predecessorCopy = placedCopy(predecessor->id());
                // Two source tasks sharing one copy do not make that copy its own predecessor.
                if (!predecessorCopy || (predecessorCopy == copy && predecessor != task)) {
                    continue;
                }
                copy->links().addPredecessor(predecessorCopy);
            }
        });
    }

    std::shared_ptr<ZozProject> result() { return std::move(m_target); }

private:
    void copySettings() {
        auto& to = *m_target;
        to.setOldColorIndex(m_source.oldColorIndex());
        to.setNewColorIndex(m_source.newColorIndex());
        to.setImageId(m_source.imageId());
        to.setNotes(m_source.notes());
        to.setTimespaceScale(m_source.timespaceScale());
        to.setTimespaceOrginalTime(m_source.timespaceOrginalTime());
        to.setScreenOffsetY(m_source.screenOffsetY());
        to.setDefaultCostRate(m_source.defaultCostRate());
        to.setDailyWorkingHours(m_source.dailyWorkingHours());
        to.setDisplayCurrencyAtBegin(m_source.displayCurrencyAtBegin());
        to.setCurrency(m_source.currency());

        // The same working days, through the calendar's own text form.
        const auto& calendar = m_source.calendar();
        to.initializeCalendar(std::make_shared<ZozProjectCalendar>(
            calendar.mapStart(), calendar.mapEnd(), calendar.rowData().value_or(std::string())));
    }

    // The copy of `id` if it is the task registered under `id` in the new project.
    TaskPtr placedCopy(std::int64_t id) const {
        auto copy = copyOf(id);
        return copy && m_target->findTask(id) == copy ? copy : nullptr;
    }

    ZozProject& m_source;
    TaskPtr m_sourceRoot;
    core::LogLocation m_at;
    std::shared_ptr<ZozProject> m_target;
    std::unordered_map<std::int64_t, TaskPtr> m_copies;
};

// Every task of the subtree, under copies of its groups, or flat under the root's copy for a
// to-do list.
void cloneWholeProject(ProjectCloner& cloner, bool exportAsTodoList, bool includeMilestone) {
    cloner.cloneWholeTeam();
    const auto& root = cloner.sourceRoot();
    algorithm::treeTravel(root, true, [&](const TaskPtr& task) {
        const bool wanted = task->hasChilds()     ? !exportAsTodoList
                            : task->isMilestone() ? includeMilestone && !exportAsTodoList
                                                  : true;
        if (wanted) {
            cloner.copy(*task);
        }
    });
    if (!exportAsTodoList) {
        cloner.rebuildParentChild();
        return;
    }
    const auto rootCopy = cloner.copy(*root);
    algorithm::treeTravel(root, [&](const TaskPtr& parent, const TaskPtr& child) {
        if (const auto childCopy = cloner.copyOf(child->id())) {
            cloner.attach(rootCopy, childCopy, *parent, *child);
        } else {
            cloner.warnNotCloned(*parent, *child);
        }
    });
}

// The chosen members' single tasks with the groups above them (or flat under the root's copy).
void cloneMembersShare(ProjectCloner& cloner,
                       const std::vector<std::shared_ptr<ZozProjectMember>>& members,
                       bool exportAsTodoList, bool includeMilestone) {
    auto& team = cloner.target().team();
    std::vector<std::int64_t> memberIds;
    for (const auto& member : members) {
        team.add(member->clone());
        memberIds.push_back(member->id());
    }

    const auto& root = cloner.sourceRoot();
    // Ancestors already walked up from an earlier task; their own ancestors were walked then too.
    std::unordered_set<const ZozProjectTask*> walkedUp;
    algorithm::treeTravel(root, true, [&](const TaskPtr& task) {
        if (task == root || task->innerType() != ProjectTaskInnerType::common ||
            task->hasChilds()) {
            return;
        }
        auto share = cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
            *task, cloner.targetPointer(), memberIds);
        if (!share) {
            return;
        }
        if (!cloner.hasCopy(task->id())) {
            cloner.keep(share);
        }
        if (exportAsTodoList) {
            return;
        }
        // The walk ends at the subtree's root: copies of tasks above it would never be placed.
        for (auto* ancestor = task->parentPointer();
             ancestor != nullptr && walkedUp.insert(ancestor).second;
             ancestor = ancestor->parentPointer()) {
            cloner.copy(*ancestor);
            if (ancestor == root.get()) {
                break;
            }
        }
    });

    const auto todoRoot = exportAsTodoList ? cloner.copy(*root) : nullptr;
    algorithm::treeConditionalTravel(root, true, [&](const TaskPtr& task) -> bool {
        // The subtree's root is the top of the clone even when it has a parent in the source.
        if (task == root) {
            return true;
        }
        const auto& parent = *task->parentPointer();
        const auto place = exportAsTodoList ? todoRoot : cloner.copyOf(parent.id());
        if (!place) {
            return false;
        }
        if (task->hasChilds()) {
            if (exportAsTodoList) {
                return true;
            }
            const auto copy = cloner.copyOf(task->id());
            if (copy) {
                cloner.attach(place, copy, parent, *task);
            }
            return copy != nullptr;
        }
        if (task->innerType() == ProjectTaskInnerType::common) {
            if (const auto copy = cloner.copyOf(task->id())) {
                cloner.attach(place, copy, parent, *task);
            }
        } else if (task->isMilestone() && includeMilestone && !exportAsTodoList) {
            cloner.attach(place, cloner.copy(*task), parent, *task);
        }
        return false;
    });
}

} // namespace

std::shared_ptr<ZozProject>
clone(ZozProject& source, const ZozProjectTask::Ptr& fromRootTask, std::string projectName,
      const std::optional<std::vector<std::int64_t>>& forProjectmemberIdentifiers,
      bool exportAsTodoList, bool includeMilestone) {
    ProjectCloner cloner(
        source, fromRootTask, std::move(projectName),
        core::LogLocation::named("clone(fromRootTask:projectName:forProjectmemberIdentifiers:"
                                 "exportAsTodoList:includeMilestone:)"));

    std::vector<std::shared_ptr<ZozProjectMember>> members;
    if (forProjectmemberIdentifiers) {
        for (const auto id : *forProjectmemberIdentifiers) {
            auto member = source.team().get(id);
            // A member named twice would join the new team twice.
            const bool chosen = std::any_of(members.begin(), members.end(),
                                            [&](const auto& m) { return m->id() == id; });
            if (member && !chosen) {
                members.push_back(std::move(member));
            }
        }
    }
    if (members.empty()) {
        cloneWholeProject(cloner, exportAsTodoList, includeMilestone);
    } else {
        cloneMembersShare(cloner, members, exportAsTodoList, includeMilestone);
    }
    cloner.installRoot();
    cloner.relink(true);
    return cloner.result();
}

std::shared_ptr<ZozProject> clone(ZozProject& source, const ZozProjectTask::Ptr& fromRootTask,
                                  std::string projectName, core::Date inDateRangeStart,
                                  core::Date inDateRangeFinish, bool clipPartialIncludedTasks) {
    ProjectCloner cloner(source, fromRootTask, std::move(projectName),
                         core::LogLocation::named("clone(fromRootTask:projectName:inDateRangeStart:"
                                                  "inDateRangeFinish:clipPartialIncludedTasks:)"));
    cloner.cloneWholeTeam();

    const auto rangeEnd = inDateRangeFinish + core::VtDays(1);
    algorithm::treeConditionalTravel(cloner.sourceRoot(), true, [&](const TaskPtr& task) -> bool {
        const auto start = task->start();
        if (start > inDateRangeFinish) {
            return false;
        }
        const auto finish = task->finish();
        if (!(finish > inDateRangeStart)) {
            return false;
        }
        if (!cloner.hasCopy(task->id())) {
            const auto copy = cloner.copy(*task);
            const bool inside = !(start < inDateRangeStart) && !(finish > rangeEnd);
            if (!inside && clipPartialIncludedTasks) {
                if (start < inDateRangeStart) {
                    copy->setStart(inDateRangeStart);
                }
                if (finish > rangeEnd) {
                    copy->setFinish(rangeEnd);
                }
            }
        }
        return task->hasChilds();
    });

    cloner.rebuildParentChild();
    cloner.installRoot();
    cloner.relink(true);
    return cloner.result();
}

std::shared_ptr<ZozProject> clone(ZozProject& source, const ZozProjectTask::Ptr& fromRootTask,
                                  const std::vector<ZozProjectTask::Ptr>& singleTasks,
                                  std::string projectName) {
    ProjectCloner cloner(source, fromRootTask, std::move(projectName),
                         core::LogLocation::named("clone(fromRootTask:singleTasks:projectName:)"));
    cloner.cloneWholeTeam();

    const auto& sourceRoot = *cloner.sourceRoot();
    const auto rootCopy = clonePropertyExceptChildrenAndLinkToOtherProject(*cloner.sourceRoot(),
                                                                           cloner.targetPointer());
    for (const auto& task : singleTasks) {
        if (!task) {
            continue;
        }
        // A second task under one id would leave the clone with two tasks of that id.
        if (task->id() == sourceRoot.id() || cloner.hasCopy(task->id())) {
            cloner.warnNotCloned(sourceRoot, *task);
            continue;
        }
        const auto copy = cloner.copy(*task);
        cloner.attach(rootCopy, copy, sourceRoot, *task);
    }
    cloner.installRoot(rootCopy);
    cloner.relink(false);
    return cloner.result();
}

} // namespace document
