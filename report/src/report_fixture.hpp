#pragma once

// Test support: builds report inputs by hand, day by day, in the current calendar.

#include "report_builder.hpp"

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace report::testing {

using detail::BuildAssignment;
using detail::BuildInput;
using detail::BuildTask;
using detail::WorkKind;

// A plan whose days are counted from a base day (offset 0), Saturdays and Sundays off.
class PlanBuilder {
public:
    PlanBuilder(const core::Calendar& calendar, std::int64_t baseDay, std::int64_t spanDays)
        : m_calendar(calendar), m_baseDay(baseDay) {
        m_input.rootStart = day(0);
        m_input.rootFinishForDisplay = core::Date(day(spanDays).timeIntervalSince1970() - 1);
        m_input.isWorkingDay = [](std::int64_t dayNumber) {
            const int weekday = core::Calendar::weekdayOfDayNumber(dayNumber);
            return weekday != 1 && weekday != 7;
        };
    }

    core::Date day(std::int64_t offset, double hours = 0) const {
        return core::Date(m_calendar.startOfLocalDay(m_baseDay + offset).timeIntervalSince1970() +
                          hours * 3600);
    }

    PlanBuilder& member(std::int64_t id, std::string name) {
        m_input.members.push_back({id, std::move(name)});
        return *this;
    }

    // A single task from offset `from` (00:00) to the exclusive finish `to` (+ hours), with its
    // working days and calendar days as the model would give them.
    BuildTask& task(std::int64_t from, std::int64_t to, double finishHours = 0) {
        BuildTask task;
        task.isSingleTask = true;
        task.start = day(from);
        const core::Date finish = day(to, finishHours);
        task.finishForDisplay = core::Date(finish.timeIntervalSince1970() - 1);
        task.duration = to - from;
        for (std::int64_t d = from; d < to; ++d) {
            task.days += m_input.isWorkingDay(m_baseDay + d) ? 1 : 0;
        }
        task.firstAssignment = m_input.assignments.size();
        m_input.tasks.push_back(task);
        return m_input.tasks.back();
    }

    BuildTask& milestone(std::int64_t offset, double hours) {
        BuildTask task;
        task.isMilestone = true;
        task.start = day(offset, hours);
        task.finishForDisplay = core::Date(day(offset + 1, hours).timeIntervalSince1970() - 1);
        task.firstAssignment = m_input.assignments.size();
        m_input.tasks.push_back(task);
        return m_input.tasks.back();
    }

    // Assigns members to the last task made: (member id, workload, cost rate).
    PlanBuilder& assign(std::initializer_list<BuildAssignment> assignments) {
        BuildTask& task = m_input.tasks.back();
        for (const auto& assignment : assignments) {
            m_input.assignments.push_back(assignment);
            ++task.assignmentCount;
            task.unitsOfWorkload += static_cast<double>(assignment.workload) / 100.0;
        }
        return *this;
    }

    BuildInput& input() { return m_input; }

private:
    core::Calendar m_calendar;
    std::int64_t m_baseDay;
    BuildInput m_input;
};

inline BuildTask& work(BuildTask& task, WorkKind kind, double amount) {
    task.workKind = kind;
    task.workAmount = amount;
    return task;
}

inline BuildTask& cost(BuildTask& task, double labor, double materials) {
    task.laborCost = labor;
    task.materialsCost = materials;
    return task;
}

// Twelve days from a Monday (offset 0) to the second Friday (offset 11); the Sunday at offset 6
// is the day the clocks go forward in both zones used below. Members A (1), B (2); 8 h a day.
inline PlanBuilder fixturePlan(const core::Calendar& calendar, std::int64_t monday) {
    PlanBuilder plan(calendar, monday, 12);
    plan.member(1, "A").member(2, "B");
    // fixDailyWork, no assignee: 6 h to "not assigned" on working days.
    work(plan.task(0, 5), WorkKind::fixDailyWork, 6);
    // fixDailyWork, assignees: (w/100)·h/U.
    work(plan.task(7, 9), WorkKind::fixDailyWork, 6);
    plan.assign({{1, 100, 10}, {2, 50, 20}});
    // fixAmount on a weekend only (days 0): a/duration to "not assigned" on every calendar
    // day, assignee ignored; its cost is shared by the assignee over both calendar days.
    cost(work(plan.task(5, 7), WorkKind::fixAmount, 10), 20, 4);
    plan.assign({{1, 100, 10}});
    // fixAmount, no assignee: a/days to "not assigned".
    work(plan.task(9, 11), WorkKind::fixAmount, 12);
    // fixAmount, assignees: (w/100)·(a/days)/U.
    work(plan.task(0, 5), WorkKind::fixAmount, 40);
    plan.assign({{1, 100, 10}, {2, 50, 20}});
    // byResource: w·8/100.
    work(plan.task(10, 12), WorkKind::byResource, 0);
    plan.assign({{1, 50, 10}});
    // byResource without assignees, and no cost: nothing.
    cost(work(plan.task(0, 2), WorkKind::byResource, 0), 0, 0);
    // A finish at noon: visited on 3 days, so 10 h are spread as 10/3 a day.
    work(plan.task(7, 9, 12), WorkKind::fixAmount, 10);
    plan.assign({{1, 100, 10}});
    // A milestone's cost, whole, in the period of its uncut start.
    cost(plan.milestone(2, 12), 100, 0);
    // Cost with assignees: labour by rate × workload, materials by workload.
    cost(work(plan.task(7, 10), WorkKind::fixDailyWork, 0), 300, 30);
    plan.assign({{1, 100, 10}, {2, 100, 20}});
    // A negative labour cost beside a positive materials cost still spreads.
    cost(plan.task(11, 12), -5, 3);
    // Calendar-day cost without assignees.
    cost(plan.task(5, 7), 8, 0);
    // A member missing from the team: its share goes to "not assigned", work and cost.
    cost(work(plan.task(3, 5), WorkKind::fixDailyWork, 2), 10, 0);
    plan.assign({{99, 100, 5}});
    // Two hours more for A on the first two days: over 8 h.
    work(plan.task(0, 2), WorkKind::fixDailyWork, 3);
    plan.assign({{1, 100, 10}});
    // Left out: a group (its children count), a milestone with children, a project leaf, a
    // non-finite amount.
    auto& group = cost(plan.task(0, 12), 999, 999);
    group.isSingleTask = false;
    group.isGroupTask = true;
    group.hasChildren = true;
    auto& parentMilestone = cost(plan.milestone(3, 0), 50, 50);
    parentMilestone.hasChildren = true;
    auto& projectLeaf = cost(work(plan.task(0, 12), WorkKind::fixDailyWork, 8), 10, 10);
    projectLeaf.isSingleTask = false;
    work(plan.task(0, 5), WorkKind::fixAmount, std::numeric_limits<double>::quiet_NaN());
    return plan;
}

} // namespace report::testing
