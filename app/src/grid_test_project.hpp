#pragma once

// Test support: a plan whose report has many rows and columns and exactly one over-allocated
// work cell.

#include "core/calendar.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_project_member.hpp"
#include "document/zoz_project_task.hpp"
#include "document/zoz_project_team.hpp"

#include <memory>
#include <string>

namespace app::testing {

// `members` members (the first one named `firstName`), each working 4 h a day from Monday
// 2024-01-01 for `days` days; the first member also works 6 h more on day 2 (Wednesday), so
// that day's work cell of row 0 is over its 8 hours and every other cell is not.
inline std::shared_ptr<document::ZozProject>
makeGridProject(int members, int days, const std::string& firstName = "Member 1") {
    auto project = document::ZozProject::create("grid-test", "Grid test");
    const auto calendar = core::Calendar::current();
    const std::int64_t monday = core::Calendar::dayNumberFromCivil(2024, 1, 1);
    auto day = [&](std::int64_t offset) { return calendar.startOfLocalDay(monday + offset); };
    std::int64_t taskId = 0;
    std::shared_ptr<document::ZozProjectMember> first;
    for (int m = 0; m < members; ++m) {
        auto member = std::make_shared<document::ZozProjectMember>(
            m + 1, m == 0 ? firstName : "Member " + std::to_string(m + 1), std::nullopt,
            std::nullopt, 10.0 + m);
        project->team().add(member);
        auto task = project->createChild(project->root(), ++taskId, day(0), day(days));
        task->setWork(document::ZozTaskWork::fixDailyWork(4));
        task->resources().addOrUpdateResource(member, 100);
        if (m == 0) {
            first = member;
        }
    }
    auto extra = project->createChild(project->root(), ++taskId, day(2), day(3));
    extra->setWork(document::ZozTaskWork::fixDailyWork(6));
    extra->resources().addOrUpdateResource(first, 100);
    return project;
}

} // namespace app::testing
