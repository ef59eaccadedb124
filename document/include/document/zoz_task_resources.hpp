#pragma once

#include "document/zoz_project_member.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace document {

class ZozProject;
class ZozProjectTeam;

/// One member's share of a task, in percent of a full-time person (100).
class ZozTaskResourceAssignment {
public:
    /// Pairs `projectMember` (never null) with `workLoad`, stored unclamped.
    ZozTaskResourceAssignment(std::shared_ptr<ZozProjectMember> projectMember,
                              std::int64_t workLoad);

    /// The assigned member.
    const std::shared_ptr<ZozProjectMember>& member() const noexcept { return m_member; }
    /// Replaces the member; a null member is ignored.
    void setMember(std::shared_ptr<ZozProjectMember> member);
    /// The workload in percent.
    std::int64_t workload() const noexcept { return m_workload; }
    /// Stores the workload clamped to 0..100.
    void setWorkload(std::int64_t workload);

private:
    std::shared_ptr<ZozProjectMember> m_member;
    std::int64_t m_workload;
};

/// A task's assignments in the order they were added, with their sums; the shared `empty()`
/// instance, answered by groups and milestones, ignores every change.
class ZozTaskResources {
public:
    /// The assignment list type.
    using Assignments = std::vector<std::shared_ptr<ZozTaskResourceAssignment>>;

    /// An empty, changeable list.
    ZozTaskResources() = default;

    /// The shared, always-empty instance; its mutators do nothing, so it is safe from any thread.
    static ZozTaskResources& empty();

    /// True when there is no assignment.
    bool isEmpty() const noexcept { return m_assignments.empty(); }
    /// The assignments in stored order.
    const Assignments& assignments() const noexcept { return m_assignments; }
    /// A copy sorted by member name (byte order), equal names keeping their stored order.
    Assignments assignementsSortedByName() const;
    /// The assignment at `index`, or null outside the list.
    std::shared_ptr<ZozTaskResourceAssignment> at(std::int64_t index) const;
    /// The sum of the workloads, saturated at the 64-bit range.
    std::int64_t sumOfWorkload() const;
    /// The sum of the workloads / 100: the number of full-time persons; 0 for an empty list.
    double unitsOfWorkload() const;
    /// The workload-weighted mean of the members' cost rates: 0 when empty, the member's rate
    /// for one assignment, and 0 (never NaN or infinity) when the workloads sum to 0.
    double averageCostRate() const;
    /// Whether an assignment's member has `memberId`.
    bool isMemberIncluded(std::int64_t memberId) const;
    /// Whether any of `memberIds` is included; false for an empty list of either.
    bool isAnyMemberIncluded(const std::vector<std::int64_t>& memberIds) const;
    /// The last assignment of `memberId`, or null.
    std::shared_ptr<ZozTaskResourceAssignment> getAssignmentByMemberId(std::int64_t memberId) const;
    /// Removes every assignment.
    void clear();
    /// Updates the last assignment of the member's id (workload clamped to 0..100) or appends a
    /// new one (workload unclamped); a null member is ignored.
    void addOrUpdateResource(const std::shared_ptr<ZozProjectMember>& member,
                             std::int64_t workload);
    /// Appends a new assignment (workload unclamped) without looking for one of the same member,
    /// for a caller that knows there is none; returns it, or null when the member is null or the
    /// list ignores changes.
    std::shared_ptr<ZozTaskResourceAssignment>
    appendResource(const std::shared_ptr<ZozProjectMember>& member, std::int64_t workload);
    /// Removes the first assignment of `memberId`, if any.
    void remove(std::int64_t memberId);
    /// The row text: ",id,workload" for each assignment in order; "" when empty.
    std::string toRowData() const;
    /// Replaces the list by the row text's pairs whose workload is at least 1 and whose member
    /// `team` knows; unreadable pairs and a trailing unpaired field are skipped.
    void fromRowData(std::string_view json, const ZozProjectTeam& team);
    /// The same with the project's team.
    void fromRowData(std::string_view json, const ZozProject& project);

private:
    struct FrozenTag {};
    explicit ZozTaskResources(FrozenTag) : m_frozen(true) {}

    Assignments m_assignments;
    bool m_frozen = false;
};

} // namespace document
