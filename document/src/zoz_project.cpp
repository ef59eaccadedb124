#include "document/zoz_project.hpp"

#include "document/zoz_model_error.hpp"

#include "model_dates.hpp"

#include "algorithm/tree_node.hpp"
#include "core/log.hpp"
#include "core/uuid.hpp"

#include <algorithm>
#include <limits>

namespace document {

std::shared_ptr<ZozProject> ZozProject::create(std::string uid, std::string name,
                                               std::optional<std::string> version) {
    return std::make_shared<ZozProject>(Passkey{}, std::move(uid), std::move(name),
                                        std::move(version));
}

ZozProject::ZozProject(Passkey, std::string uid, std::string name,
                       std::optional<std::string> version)
    : m_uniqueId(std::move(uid)), m_name(std::move(name)),
      m_version(version ? std::move(*version) : core::Uuid::random().uuidString()),
      m_team(std::make_shared<ZozProjectTeam>()) {}

ZozProject::~ZozProject() {
    // Drop the dictionary first so the root's own iterative release frees the tree.
    m_taskDict.clear();
    m_root.reset();
}

void ZozProject::initializeByCalendarAndTeamAndRootTask(
    std::shared_ptr<ZozProjectCalendar> calendar,
    const std::optional<std::vector<std::shared_ptr<ZozProjectMember>>>& teamMembers,
    const ZozProjectTask::Ptr& rootTask) {
    if (calendar) {
        m_calendar = std::move(calendar);
    }
    if (teamMembers) {
        for (const auto& member : *teamMembers) {
            m_team->appendMemberLocked(member);
        }
    }
    if (!m_root && rootTask) {
        m_root = rootTask;
        registerSubtree(rootTask);
    }
}

void ZozProject::setDefaultCostRate(double rate) noexcept {
    m_defaultCostRate = !(rate >= 0.0) ? kDefaultCostRate : rate;
}

void ZozProject::setDailyWorkingHours(double hours) noexcept {
    m_dailyWorkingHours = !(hours > 0.0) || hours > 24.0 ? kDefaultDailyHours : hours;
}

void ZozProject::setTeam(std::shared_ptr<ZozProjectTeam> team) {
    if (team) {
        m_team = std::move(team);
    }
}

ZozProjectCalendar& ZozProject::calendar() {
    return *calendarPointer();
}

const std::shared_ptr<ZozProjectCalendar>& ZozProject::calendarPointer() {
    if (!m_calendar) {
        if (m_root) {
            const auto start = m_root->start();
            const auto finish = m_root->hasChilds() ? m_root->finish() : m_root->storedFinish();
            m_calendar = std::make_shared<ZozProjectCalendar>(start, finish, "");
        } else {
            const auto today = detail::startOfToday();
            m_calendar = std::make_shared<ZozProjectCalendar>(today, today, "");
        }
    }
    return m_calendar;
}

void ZozProject::initializeCalendar(std::shared_ptr<ZozProjectCalendar> calendar) {
    m_calendar = std::move(calendar);
}

const ZozProjectTask::Ptr& ZozProject::root() {
    if (!m_root) {
        const auto today = detail::startOfToday();
        m_root = ZozProjectTask::create(shared_from_this(), nullptr, 0, today,
                                        detail::addDays(today, 1));
    }
    return m_root;
}

ZozProjectTask::Ptr ZozProject::findTask(std::int64_t taskId) const {
    const auto found = m_taskDict.find(taskId);
    return found == m_taskDict.end() ? nullptr : found->second;
}

void ZozProject::registerTask(const ZozProjectTask::Ptr& task) {
    if (task) {
        m_taskDict[task->id()] = task;
    }
}

void ZozProject::unregisterTask(std::int64_t taskId) {
    m_taskDict.erase(taskId);
}

std::int64_t ZozProject::createNewTaskId() {
    if (!m_taskIdSeed) {
        std::int64_t largest = 0;
        algorithm::treeTravel(root(), true, [&](const ZozProjectTask::Ptr& task) {
            largest = std::max(largest, task->id());
        });
        m_taskIdSeed = largest;
    }
    if (*m_taskIdSeed == std::numeric_limits<std::int64_t>::max()) {
        throw core::logged(ZozModelError(ZozModelError::Code::idSeedExhausted,
                                         "no task id is left after the largest integer"));
    }
    m_taskIdSeed = *m_taskIdSeed + 1;
    return *m_taskIdSeed;
}

bool ZozProject::isMemberBeAssignedToAnyTask(std::int64_t memberId) const {
    if (!m_root) {
        return false;
    }
    return algorithm::treeFindFirst(m_root,
                                    [&](const ZozProjectTask::Ptr& task) {
                                        return !task->hasChilds() && !task->isMilestone() &&
                                               task->ownResources().isMemberIncluded(memberId);
                                    })
        .has_value();
}

void ZozProject::registerSubtree(const ZozProjectTask::Ptr& task) {
    algorithm::treeTravel(task, true, [&](const ZozProjectTask::Ptr& node) { registerTask(node); });
}

void ZozProject::unregisterSubtree(const ZozProjectTask::Ptr& task) {
    algorithm::treeTravel(task, true,
                          [&](const ZozProjectTask::Ptr& node) { unregisterTask(node->id()); });
}

bool ZozProject::addChild(const ZozProjectTask::Ptr& parentTask,
                          const ZozProjectTask::Ptr& childTask) {
    if (!parentTask || !parentTask->addChild(childTask)) {
        return false;
    }
    registerSubtree(childTask);
    return true;
}

bool ZozProject::insertChild(const ZozProjectTask::Ptr& parentTask,
                             const ZozProjectTask::Ptr& childTask, std::int64_t index) {
    if (!parentTask || !parentTask->insertChild(childTask, index)) {
        return false;
    }
    registerSubtree(childTask);
    return true;
}

bool ZozProject::insertChild(const ZozProjectTask::Ptr& parentTask,
                             const ZozProjectTask::Ptr& childTask,
                             const ZozProjectTask::Ptr& baseTask, bool belowBaseTask) {
    if (!parentTask || !parentTask->insertChild(childTask, baseTask, belowBaseTask)) {
        return false;
    }
    registerSubtree(childTask);
    return true;
}

ZozProjectTask::Ptr ZozProject::createChild(const ZozProjectTask::Ptr& parentTask,
                                            std::int64_t newChildTaskId, core::Date start,
                                            core::Date finish) {
    if (!parentTask) {
        return nullptr;
    }
    auto child = parentTask->createChild(newChildTaskId, start, finish);
    registerTask(child);
    return child;
}

ZozProjectTask::Ptr ZozProject::createChildAfter(const ZozProjectTask::Ptr& parentTask,
                                                 std::int64_t previousChildTaskId,
                                                 std::int64_t newChildTaskId, core::Date start,
                                                 core::Date finish) {
    if (!parentTask) {
        return nullptr;
    }
    auto child = parentTask->createChildAfter(previousChildTaskId, newChildTaskId, start, finish);
    registerTask(child);
    return child;
}

void ZozProject::removeChild(const ZozProjectTask::Ptr& parentTask,
                             const ZozProjectTask::Ptr& childTask) {
    if (!parentTask || !childTask) {
        return;
    }
    unregisterSubtree(childTask);
    parentTask->removeChild(childTask);
}

void ZozProject::removeChildByRange(const ZozProjectTask::Ptr& parentTask, std::int64_t fromIndex,
                                    std::int64_t toIndex) {
    if (!parentTask || !parentTask->hasChilds()) {
        return;
    }
    const auto last = parentTask->childCount() - 1;
    const auto from = std::max<std::int64_t>(fromIndex, 0);
    const auto to = std::min(toIndex, last);
    for (auto index = to; index >= from; --index) {
        if (auto removed = parentTask->removeChildAt(index)) {
            unregisterSubtree(removed);
        }
    }
}

void ZozProject::changeChildIndex(
    const ZozProjectTask::Ptr& parentTask, const ZozProjectTask::Ptr& task, std::int64_t newIndex,
    const std::function<void(const ZozProjectTask::Ptr&)>& sequenceChanged) {
    if (parentTask) {
        parentTask->changeChildIndex(task, newIndex, sequenceChanged);
    }
}

} // namespace document
