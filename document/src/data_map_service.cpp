#include "document/data_map_service.hpp"

#include "document/date_baseline.hpp"
#include "document/dezuduz_document_color_utility.hpp"
#include "document/dezuduz_document_config.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_task_links.hpp"
#include "document/zoz_task_resources.hpp"

#include "model_dates.hpp"

#include "algorithm/tree_node.hpp"
#include "core/calendar.hpp"
#include "core/log.hpp"
#include "core/string_utils.hpp"

#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace document::DataMapService {

namespace {

using TaskPtr = ZozProjectTask::Ptr;

// The one location every link message carries, whichever helper writes it.
core::LogLocation mapLocation(const std::source_location& at = std::source_location::current()) {
    return {"map(jsonProject:)", at.file_name(), static_cast<std::int64_t>(at.line())};
}

// A date outside the valid range (a mistyped year, say) does not cost the user the document:
// the task takes today instead, as its date setters do, and a baseline keeps it, since the
// calendar counts no working days outside the range. Each such date is logged once.
bool isValidDate(core::Date date, std::int64_t taskId, const char* what, const char* outcome) {
    if (DezuduzDocumentConfig::shared().isValid(date)) {
        return true;
    }
    core::Log::warning(
        [&] {
            return "Task " + std::to_string(taskId) + " has its " + what + " " +
                   encodeJsonDate(date).value_or("(no date)") + " outside the valid dates; " +
                   outcome;
        },
        mapLocation());
    return false;
}

ZozTaskWork workFrom(const JsonWorkData& work) {
    const double hours = work.workValue.value_or(0.0);
    if (!work.workType || *work.workType == 0) {
        return ZozTaskWork::byResource();
    }
    return *work.workType == 1 ? ZozTaskWork::fixDailyWork(hours) : ZozTaskWork::fixAmount(hours);
}

// Everything of one JSON task but its children, on a task just created.
// The team's members by id, the later of two with one id winning, as the team's own lookup
// answers; one table spares a locked search of the whole team per assignment.
using MemberTable = std::unordered_map<std::int64_t, std::shared_ptr<ZozProjectMember>>;

MemberTable memberTable(const ZozProjectTeam& team) {
    MemberTable table;
    for (auto& member : team.members()) {
        const std::int64_t id = member->id();
        table[id] = std::move(member);
    }
    return table;
}

std::shared_ptr<ZozProjectMember> findMember(const MemberTable& members, std::int64_t id) {
    const auto it = members.find(id);
    return it == members.end() ? nullptr : it->second;
}

void fillTask(ZozProjectTask& task, const JsonTask& json, const MemberTable& members) {
    if (task.finish() < task.start()) {
        const core::Date start = task.start();
        const core::Date finish = task.finish();
        task.setFinish(start);
        task.setStart(finish);
    }
    if (json.type) {
        task.setInnerType(static_cast<ProjectTaskInnerType>(*json.type));
    }
    task.setName(json.name.value_or(""));
    task.setCompletedPercentage(json.completedPercent.value_or(0));
    if (json.resources) {
        // As `addOrUpdateResource` for each entry, but a member listed again is found in a table:
        // a search of the task's list per entry would make a long list quadratic.
        std::unordered_map<std::int64_t, std::shared_ptr<ZozTaskResourceAssignment>> added;
        for (const auto& assignment : *json.resources) {
            if (!assignment.workload || *assignment.workload <= 0 || !assignment.peopleId) {
                continue;
            }
            const auto member = findMember(members, *assignment.peopleId);
            if (!member) {
                continue;
            }
            if (const auto it = added.find(member->id()); it != added.end()) {
                it->second->setWorkload(*assignment.workload);
            } else if (auto appended =
                           task.resources().appendResource(member, *assignment.workload)) {
                added.emplace(member->id(), std::move(appended));
            }
        }
    }
    if (json.work) {
        task.setWork(workFrom(*json.work));
    }
    task.setWorkCompletedPercentage(json.physicalCompletedPercentage.value_or(0));
    if (json.contactorId) {
        if (auto member = findMember(members, *json.contactorId)) {
            task.setContactor(std::move(member));
        }
    }
    task.setNotes(json.notes);
    task.color().update(json.oldColorIndex, json.newColorIndex);
    task.setIcon(json.iconIndex.value_or(0));
    if (json.cost) {
        const bool fixed = json.cost->isFixLaborCost == true && json.cost->laborCost.has_value();
        task.setLaborCost(fixed ? ZozTaskLaborCost::fix(*json.cost->laborCost)
                                : ZozTaskLaborCost::automatic());
        task.setMaterialsCost(json.cost->materialsCost);
    }
    if (json.dateBaseline && json.dateBaseline->start && json.dateBaseline->finish) {
        constexpr const char* kKept = "it is kept and counts no working days";
        isValidDate(*json.dateBaseline->start, task.id(), "baseline start", kKept);
        isValidDate(*json.dateBaseline->finish, task.id(), "baseline finish", kKept);
        task.dateBaseline()->change(*json.dateBaseline->start, *json.dateBaseline->finish);
    }
    const auto link = [](const std::optional<JsonTaskUrl>& url) -> std::optional<TaskUrl> {
        if (!url || !url->url || url->url->empty()) {
            return std::nullopt;
        }
        return TaskUrl::make(url->title, url->url);
    };
    if (auto url = link(json.url1)) {
        task.setUrl1(std::move(url));
    }
    if (auto url = link(json.url2)) {
        task.setUrl2(std::move(url));
    }
    if (json.predecessors) {
        task.setPredecessorIdListBuf(*json.predecessors);
    }
    if (json.collapsed == true) {
        task.collapse();
    }
}

// Builds the task tree with an explicit stack; a JSON task without "Uid", or a leaf without
// both dates, is left out with its subtree.
TaskPtr mapTaskTree(const JsonTask& rootJson, const std::shared_ptr<ZozProject>& project) {
    const core::Calendar calendar = core::Calendar::current();
    const core::Date now = core::Date::now();
    const MemberTable members = memberTable(project->team());
    const core::Date today = calendar.startOfDay(now);
    // A date outside the valid range becomes today (a start) or the day after (a finish).
    const auto dayOf = [&](const std::optional<core::Date>& date, bool hasChildren,
                           std::int64_t taskId, bool isStart) -> std::optional<core::Date> {
        if (date) {
            if (!isValidDate(*date, taskId, isStart ? "start" : "finish",
                             "today is used instead")) {
                return isStart ? today : detail::addDays(today, 1);
            }
            return calendar.startOfDay(*date);
        }
        return hasChildren ? std::optional<core::Date>(now) : std::nullopt;
    };
    TaskPtr root;
    std::vector<std::pair<const JsonTask*, ZozProjectTask*>> pending{{&rootJson, nullptr}};
    while (!pending.empty()) {
        const auto [json, parent] = pending.back();
        pending.pop_back();
        if (!json->uid) {
            continue;
        }
        const bool hasChildren = json->treeHasChildren();
        const auto start = dayOf(json->start, hasChildren, *json->uid, true);
        const auto finish = dayOf(json->finish, hasChildren, *json->uid, false);
        if (!start || !finish) {
            continue;
        }
        TaskPtr task = parent != nullptr
                           ? parent->createChild(*json->uid, *start, *finish)
                           : ZozProjectTask::create(project, nullptr, *json->uid, *start, *finish);
        fillTask(*task, *json, members);
        if (parent == nullptr) {
            root = task;
        }
        // Children are pushed last first, so that they are created in their order.
        const auto& children = json->treeChildren();
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            pending.emplace_back(&*it, task.get());
        }
    }
    return root;
}

// The (predecessor, successor id) pairs linked so far: a link list is searched through this
// table rather than entry by entry, which would make long lists quadratic.
struct LinkKey {
    const ZozProjectTask* predecessor;
    std::int64_t successorId;
    friend bool operator==(const LinkKey&, const LinkKey&) = default;
};
struct LinkKeyHash {
    std::size_t operator()(const LinkKey& key) const noexcept {
        return std::hash<const ZozProjectTask*>()(key.predecessor) ^
               (std::hash<std::int64_t>()(key.successorId) * 0x9E3779B97F4A7C15ULL);
    }
};
using LinkedPairs = std::unordered_set<LinkKey, LinkKeyHash>;

void buildTaskLinks(const TaskPtr& task, const std::unordered_map<std::int64_t, TaskPtr>& lookup,
                    LinkedPairs& linked) {
    const TaskPtr project = task->getRootTaskOfDirectProject();
    if (!project || task->isGroupTask()) {
        return;
    }
    const auto& ids = task->predecessorIdListBuf();
    if (!ids) {
        return;
    }
    // Ids already among this task's predecessors.
    std::unordered_set<std::int64_t> predecessorIds;
    for (const std::int64_t id : *ids) {
        const auto found = lookup.find(id);
        if (found == lookup.end()) {
            continue;
        }
        const TaskPtr& predecessor = found->second;
        // A task cannot precede itself; such a link would only make a cycle of one.
        if (predecessor->id() == task->id()) {
            continue;
        }
        const TaskPtr other = predecessor->getRootTaskOfDirectProject();
        if (!other) {
            core::Log::debug("Invalid link -  task " + std::to_string(predecessor->id()) +
                                 " is not in any project",
                             mapLocation());
            continue;
        }
        if (other->id() != project->id()) {
            core::Log::debug("Invalid link - cross project link between task " +
                                 std::to_string(task->id()) + " and " +
                                 std::to_string(predecessor->id()),
                             mapLocation());
            continue;
        }
        // Each end takes the other only when no entry of the same id is there yet, as
        // `addPredecessor` would; the tables keep a repeated id from searching a long list.
        if (linked.insert({predecessor.get(), task->id()}).second) {
            predecessor->links().successorCollection().add(task);
        }
        if (predecessorIds.insert(predecessor->id()).second) {
            task->links().predecessorCollection().add(predecessor);
        }
    }
    task->clearPredecessorIdListBuf();
}

} // namespace

std::shared_ptr<ZozProject> map(const JsonProject& json) {
    if (!json.uniqueId) {
        return nullptr;
    }
    auto project = ZozProject::create(*json.uniqueId, json.name.value_or("project"), json.version);
    project->setOldColorIndex(json.oldColorIndex.value_or(0));
    project->setNewColorIndex(json.newColorIndex ? *json.newColorIndex
                                                 : DezuduzDocumentColorUtility::newColorIndex(
                                                       json.oldColorIndex, std::nullopt));
    project->setImageId(json.imageId);
    project->setNotes(json.notes);
    project->setDefaultCostRate(json.defaultCostRate.value_or(ZozProject::kDefaultCostRate));
    project->setDisplayCurrencyAtBegin(json.displayCurrencyAtBegin.value_or(false));
    project->setCurrency(core::isBlank(json.currency) ? "$" : *json.currency);
    project->setDailyWorkingHours(json.dailyWorkingHours.value_or(ZozProject::kDefaultDailyHours));
    project->setTimespaceScale(json.timespaceScale.value_or(1.0));
    project->setTimespaceOrginalTime(json.timespaceOrginalTime);
    project->setScreenOffsetY(json.screenOffsetY.value_or(0.0));
    project->setTaskLinkType(json.taskLinkType == 1 ? ZozTaskLinkType::linkingList
                                                    : ZozTaskLinkType::finishToStart);
    project->setUserHasSetLinkType(json.userHasSetLinkType.value_or(false));
    project->setOnlyWorkingDayTaskSchedule(json.onlyWorkingDayTaskSchedule.value_or(false));
    project->setPdfAuthorName(json.pdfAuthorName);
    project->setPdfBannerImageId(json.pdfBannerImageId);

    if (json.peoples && !json.peoples->empty()) {
        std::vector<std::shared_ptr<ZozProjectMember>> members;
        members.reserve(json.peoples->size());
        for (const auto& people : *json.peoples) {
            if (people.id && people.name) {
                members.push_back(std::make_shared<ZozProjectMember>(
                    *people.id, *people.name, people.photoId, people.email,
                    people.costRate.value_or(1.0)));
            }
        }
        project->team().initByMembers(members);
    }

    TaskPtr root = json.root ? mapTaskTree(*json.root, project) : nullptr;
    if (root) {
        project->initializeByCalendarAndTeamAndRootTask(nullptr, std::nullopt, root);
        algorithm::treeTravelFromLeaf(project->storedRoot(), [](const TaskPtr& task) {
            task->refreshCalculatablePropertiesOfTaskGroup(true, true, false, false, false, false);
        });
    } else {
        const core::Calendar calendar = core::Calendar::current();
        const core::Date today = calendar.startOfDay(core::Date::now());
        const core::Date tomorrow =
            calendar.dateByAdding(core::CalendarComponent::day, 1, today).value_or(today);
        project->initializeByCalendarAndTeamAndRootTask(
            nullptr, std::nullopt, ZozProjectTask::create(project, nullptr, 0, today, tomorrow));
    }
    if (json.calendar) {
        project->calendar().setDayExceptionString(*json.calendar);
    }

    std::unordered_map<std::int64_t, TaskPtr> lookup;
    algorithm::treeTravelFromLeaf(project->storedRoot(), [&](const TaskPtr& task) {
        task->refreshCalculatablePropertiesOfTaskGroup(false, false, true, true, true, true);
        if (!task->isGroupTask()) {
            lookup[task->id()] = task;
        }
    });
    LinkedPairs linked;
    algorithm::treeTravel(project->storedRoot(), true,
                          [&](const TaskPtr& task) { buildTaskLinks(task, lookup, linked); });
    project->storedRoot()->setGlobalSequenceNoInTaskTree(0);
    return project;
}

JsonTask mapToJsonTask(ZozProjectTask& rootTask, bool includeChildren) {
    JsonTask out;
    std::vector<std::pair<ZozProjectTask*, JsonTask*>> pending{{&rootTask, &out}};
    while (!pending.empty()) {
        const auto [task, json] = pending.back();
        pending.pop_back();
        json->uid = task->id();
        json->type = static_cast<JsonTaskType>(task->innerType());
        json->name = task->name();
        json->start = task->start();
        json->finish = task->finish();
        json->completedPercent = task->completePercentage();
        const auto& assignments = task->resources().assignments();
        if (!assignments.empty()) {
            auto& list = json->resources.emplace();
            list.reserve(assignments.size());
            for (const auto& assignment : assignments) {
                list.push_back({assignment->member()->id(), assignment->workload()});
            }
        }
        const ZozTaskWork& work = task->workData();
        if (!work.isByResource()) {
            json->work = JsonWorkData::make(work);
        }
        json->physicalCompletedPercentage = task->storedWorkCompletedPercentage();
        if (task->contactor()) {
            json->contactorId = task->contactor()->id();
        }
        const ZozTaskCost& cost = task->costData();
        JsonCost& jsonCost = json->cost.emplace();
        if (cost.laborCost.isFix()) {
            jsonCost.isFixLaborCost = true;
            jsonCost.laborCost = cost.laborCost.amount();
        }
        jsonCost.materialsCost = cost.materialsCost;
        json->oldColorIndex = task->color().indexForOldSystem;
        json->newColorIndex = task->color().index;
        json->iconIndex = task->iconIndex();
        json->notes = task->notes();
        if (task->hasLinksObject()) {
            if (const auto* predecessors = task->links().predecessors()) {
                if (const auto links = predecessors->links(); links && !links->empty()) {
                    auto& ids = json->predecessors.emplace();
                    for (const auto& link : *links) {
                        ids.push_back(link->id());
                    }
                }
            }
        }
        const auto& baseline = task->dateBaseline();
        if (baseline->start() && baseline->finish()) {
            json->dateBaseline = JsonDateBaseline{baseline->start(), baseline->finish()};
        }
        if (const auto& url = task->url1()) {
            json->url1 = JsonTaskUrl{url->title(), url->url()};
        }
        if (const auto& url = task->url2()) {
            json->url2 = JsonTaskUrl{url->title(), url->url()};
        }
        json->collapsed = task->collapsed();
        const auto& children = task->childs();
        if (includeChildren && !children.empty()) {
            auto& list = json->childs.emplace(children.size());
            for (std::size_t i = children.size(); i-- > 0;) {
                pending.emplace_back(children[i].get(), &list[i]);
            }
        }
    }
    return out;
}

JsonProject mapToJsonProject(ZozProject& project, bool includeTaskTree) {
    JsonProject json(project.uniqueId(), project.name());
    json.version = project.version();
    json.oldColorIndex = project.oldColorIndex();
    json.newColorIndex = project.newColorIndex();
    json.imageId = project.imageId();
    auto& peoples = json.peoples.emplace();
    for (const auto& member : project.team().members()) {
        peoples.push_back(
            {member->id(), member->name(), member->photoid(), member->email(), member->costRate()});
    }
    json.calendar = project.calendar().rowData();
    if (includeTaskTree) {
        json.root = mapToJsonTask(*project.root(), true);
    }
    json.notes = project.notes();
    json.defaultCostRate = project.defaultCostRate();
    json.displayCurrencyAtBegin = project.displayCurrencyAtBegin();
    json.currency = project.currency();
    json.dailyWorkingHours = project.dailyWorkingHours();
    json.timespaceScale = project.timespaceScale();
    json.timespaceOrginalTime = project.timespaceOrginalTime();
    json.screenOffsetY = project.screenOffsetY();
    json.taskLinkType = static_cast<std::int64_t>(project.taskLinkType());
    json.userHasSetLinkType = project.userHasSetLinkType();
    json.onlyWorkingDayTaskSchedule = project.onlyWorkingDayTaskSchedule();
    json.pdfAuthorName = project.pdfAuthorName();
    json.pdfBannerImageId = project.pdfBannerImageId();
    return json;
}

} // namespace document::DataMapService
