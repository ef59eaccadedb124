#pragma once

#include "document/zoz_project_task.hpp"

#include <cstdint>
#include <memory>
#include <vector>

namespace document {

class ZozProject;

/// The groups of task properties that `copyProperties` copies besides the name, which it always
/// copies; a value type.
class ZozProjectTaskPropertyCopyingCategories {
public:
    /// Selects each group of properties by its switch, in the order of the getters below.
    constexpr ZozProjectTaskPropertyCopyingCategories(bool type, bool date, bool percentage,
                                                      bool dateBaseline, bool assignment, bool work,
                                                      bool workPercentage, bool cost,
                                                      bool contactor, bool urls, bool icon,
                                                      bool color) noexcept
        : m_type(type), m_date(date), m_percentage(percentage), m_dateBaseline(dateBaseline),
          m_assignment(assignment), m_work(work), m_workPercentage(workPercentage), m_cost(cost),
          m_contactor(contactor), m_urls(urls), m_icon(icon), m_color(color) {}

    /// The stored kind.
    constexpr bool type() const noexcept { return m_type; }
    /// Start and finish, through the target's validating setters.
    constexpr bool date() const noexcept { return m_date; }
    /// The completion percentage.
    constexpr bool percentage() const noexcept { return m_percentage; }
    /// The baseline's start and finish.
    constexpr bool dateBaseline() const noexcept { return m_dateBaseline; }
    /// The assignments, sharing the source's member objects.
    constexpr bool assignment() const noexcept { return m_assignment; }
    /// The stored work.
    constexpr bool work() const noexcept { return m_work; }
    /// The work completion percentage.
    constexpr bool workPercentage() const noexcept { return m_workPercentage; }
    /// The stored labour cost and the materials cost.
    constexpr bool cost() const noexcept { return m_cost; }
    /// The contact member, sharing the source's member object.
    constexpr bool contactor() const noexcept { return m_contactor; }
    /// The two web links.
    constexpr bool urls() const noexcept { return m_urls; }
    /// The icon index.
    constexpr bool icon() const noexcept { return m_icon; }
    /// The colour.
    constexpr bool color() const noexcept { return m_color; }

    /// Same switches.
    friend constexpr bool operator==(const ZozProjectTaskPropertyCopyingCategories&,
                                     const ZozProjectTaskPropertyCopyingCategories&) = default;

private:
    bool m_type;
    bool m_date;
    bool m_percentage;
    bool m_dateBaseline;
    bool m_assignment;
    bool m_work;
    bool m_workPercentage;
    bool m_cost;
    bool m_contactor;
    bool m_urls;
    bool m_icon;
    bool m_color;
};

/// Copies `source`'s name and the property groups that `withoutLinkAndChildren` selects into
/// `target`; children and links are never touched, and assignments and the contact member keep
/// the source's member objects (so both tasks should belong to one project).
void copyProperties(ZozProjectTask& source, ZozProjectTask& target,
                    const ZozProjectTaskPropertyCopyingCategories& withoutLinkAndChildren);

/// A new task of `toProject` with `source`'s id, dates and properties but no parent, children or
/// links; its assignments and contact member are `toProject`'s members of the same ids, and each
/// member that project lacks is left out with a warning. `toProject` must not be null.
ZozProjectTask::Ptr
clonePropertyExceptChildrenAndLinkToOtherProject(ZozProjectTask& source,
                                                 const std::shared_ptr<ZozProject>& toProject);

/// The share of single task `source` that the members `memberIds` carry, as a new task of
/// `toProject` (as `clonePropertyExceptChildrenAndLinkToOtherProject`, without contact member):
/// their assignments only, with fixed work and fixed and materials costs scaled by their share of
/// the workload (of the head count when every workload is 0). Null for a group, a milestone, a
/// project task or a task none of `memberIds` is assigned to. `toProject` must not be null.
ZozProjectTask::Ptr cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
    ZozProjectTask& source, const std::shared_ptr<ZozProject>& toProject,
    const std::vector<std::int64_t>& memberIds);

} // namespace document
