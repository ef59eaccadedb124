#include "report/project_report.hpp"
#include "report/report_csv.hpp"
#include "report/report_render.hpp"
#include "report_builder.hpp"

#include "document/zoz_project.hpp"
#include "document/zoz_project_calendar.hpp"
#include "document/zoz_project_task.hpp"
#include "document/zoz_task_resources.hpp"

#include <algorithm>
#include <optional>
#include <vector>

namespace report {

namespace detail {

namespace {

WorkKind workKindOf(const document::ZozTaskWork& work) {
    switch (work.kind()) {
    case document::ZozTaskWork::Kind::fixDailyWork:
        return WorkKind::fixDailyWork;
    case document::ZozTaskWork::Kind::fixAmount:
        return WorkKind::fixAmount;
    case document::ZozTaskWork::Kind::byResource:
        break;
    }
    return WorkKind::byResource;
}

} // namespace

BuildInput readBuildInput(document::ZozProject& project) {
    BuildInput input;
    for (const auto& member : project.team().members()) {
        if (member) {
            input.members.push_back({member->id(), member->name()});
        }
    }
    input.dailyWorkingHours = project.dailyWorkingHours();
    // The build keeps the calendar alive; its lookups are safe from any thread.
    std::shared_ptr<document::ZozProjectCalendar> calendar = project.calendarPointer();
    input.isWorkingDay = [calendar](std::int64_t day) { return calendar->isWorkingDayNumber(day); };

    // The span is the root's: the earliest start and the latest finish of its leaves, which is
    // what the root's calculated values hold. Reading the leaves instead of the root's cached
    // group values keeps the build free of writes into the model, so builds may overlap.
    const auto& root = project.root();
    std::optional<core::Date> spanStart;
    std::optional<core::Date> spanFinish;

    // Pre-order without recursion: a document decides how deep the tree is.
    std::vector<document::ZozProjectTask*> stack;
    for (auto it = root->childs().rbegin(); it != root->childs().rend(); ++it) {
        stack.push_back(it->get());
    }
    while (!stack.empty()) {
        document::ZozProjectTask* task = stack.back();
        stack.pop_back();
        if (task == nullptr) {
            continue;
        }
        BuildTask built;
        built.hasChildren = task->hasChilds();
        built.isGroupTask = task->isGroupTask();
        built.isSingleTask = task->isSingleTask();
        built.isMilestone = task->isMilestone();
        built.firstAssignment = input.assignments.size();
        if (!built.hasChildren) {
            const core::Date start = task->start();
            const core::Date finish = task->finish();
            spanStart = spanStart ? std::min(*spanStart, start) : start;
            spanFinish = spanFinish ? std::max(*spanFinish, finish) : finish;
        }
        // Groups and project-kind leaves add nothing themselves, and a milestone with children
        // adds nothing either: their calculated values are not read at all.
        const bool counts = built.isSingleTask || (built.isMilestone && !built.hasChildren);
        if (counts) {
            built.start = task->start();
            built.finishForDisplay = task->finishForDisplay();
            built.days = task->days();
            built.duration = task->duration();
            built.workKind = workKindOf(task->workData());
            built.workAmount = task->workData().amount();
            built.laborCost = task->laborCost();
            built.materialsCost = task->materialsCost();
            auto& resources = task->resources();
            built.unitsOfWorkload = resources.unitsOfWorkload();
            for (const auto& assignment : resources.assignments()) {
                if (!assignment || !assignment->member()) {
                    continue;
                }
                input.assignments.push_back({assignment->member()->id(), assignment->workload(),
                                             assignment->member()->costRate()});
            }
            built.assignmentCount = input.assignments.size() - built.firstAssignment;
        }
        input.tasks.push_back(built);
        const auto& children = task->childs();
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            stack.push_back(it->get());
        }
    }
    if (spanStart && spanFinish) {
        input.rootStart = *spanStart;
        input.rootFinishForDisplay = core::Date(spanFinish->timeIntervalSince1970() - 1.0);
    } else {
        // A root without children is a leaf itself: its own dates, read without any cache.
        input.rootStart = root->start();
        input.rootFinishForDisplay = root->finishForDisplay();
    }
    return input;
}

} // namespace detail

std::shared_ptr<const ProjectReport> ProjectReport::make(Period::Kind kind,
                                                         document::ZozProject& project) {
    const auto calendar = core::Calendar::current();
    const auto input = detail::readBuildInput(project);
    return detail::buildReport(kind, input, calendar);
}

double assignedCostRateSum(const document::ZozTaskResources& resources) {
    double sum = 0.0;
    for (const auto& assignment : resources.assignments()) {
        if (assignment && assignment->member()) {
            sum += assignment->member()->costRate() * static_cast<double>(assignment->workload());
        }
    }
    return sum;
}

std::string summaryTotalText(const ProjectReport::Value& total, ProjectReport::ValueKind kind,
                             const document::ZozProject& project, const ReportRender& render) {
    return summaryTotalText(total, kind, project.currency(), render);
}

ReportSnapshot makeSnapshot(const ProjectReport& report, ProjectReport::ValueKind kind,
                            const document::ZozProject& project, const ReportRender& render) {
    return makeSnapshot(report, kind, project.currency(), render);
}

std::string reportCsv(ProjectReport::ValueKind kind, const document::ZozProject& project,
                      const ReportRender& render, const ProjectReport& report) {
    return reportCsv(kind, ReportCsvProject{project.name(), project.currency()}, render, report);
}

} // namespace report
