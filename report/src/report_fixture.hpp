#pragma once

// Test support: builds report inputs by hand, day by day, in the current calendar.

#include "report_builder.hpp"

#include <cstdint>
#include <initializer_list>
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

} // namespace report::testing
