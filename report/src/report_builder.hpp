#pragma once

#include "core/calendar.hpp"
#include "report/project_report.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace report::detail {

// What the builder reads of a project, copied out once so that the build works on plain,
// immutable data (no model getter runs per day, no model cache is written while it runs).
struct BuildAssignment {
    std::int64_t memberId = 0;
    std::int64_t workload = 0;
    double costRate = 0.0;
};

enum class WorkKind { byResource, fixDailyWork, fixAmount };

struct BuildTask {
    bool isSingleTask = false;
    bool isGroupTask = false;
    bool isMilestone = false;
    bool hasChildren = false;
    core::Date start;
    core::Date finishForDisplay;
    std::int64_t days = 0;
    std::int64_t duration = 0;
    WorkKind workKind = WorkKind::byResource;
    double workAmount = 0.0;
    double laborCost = 0.0;
    double materialsCost = 0.0;
    double unitsOfWorkload = 0.0;
    std::size_t firstAssignment = 0;
    std::size_t assignmentCount = 0;
};

struct BuildMember {
    std::int64_t id = 0;
    std::string name;
};

struct BuildInput {
    std::vector<BuildMember> members;
    core::Date rootStart;
    core::Date rootFinishForDisplay;
    double dailyWorkingHours = 8.0;
    // Asked once per local day number of the span (and for the odd day a task has outside it).
    std::function<bool(std::int64_t)> isWorkingDay;
    // The root's descendants in pre-order, root excluded.
    std::vector<BuildTask> tasks;
    std::vector<BuildAssignment> assignments;
};

// Reads `project` into a build input (current calendar not needed: dates stay instants).
BuildInput readBuildInput(document::ZozProject& project);

// Builds the report of `input` with columns of `kind` in `calendar`.
std::shared_ptr<const ProjectReport> buildReport(Period::Kind kind, const BuildInput& input,
                                                 const core::Calendar& calendar);

// The exceed tolerance: far below any shown digit, far above the rounding of a day's sum, so a
// week of 3 × (40/3) hours against 40 available hours is not marked.
inline constexpr double kExceedTolerance = 1e-9;

} // namespace report::detail
