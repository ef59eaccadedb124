#include "document/zoz_task_resources.hpp"

#include "document/zoz_project.hpp"
#include "document/zoz_project_team.hpp"

#include "model_text.hpp"

#include "core/string_utils.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace document {

ZozTaskResourceAssignment::ZozTaskResourceAssignment(
    std::shared_ptr<ZozProjectMember> projectMember, std::int64_t workLoad)
    : m_member(std::move(projectMember)), m_workload(workLoad) {}

void ZozTaskResourceAssignment::setMember(std::shared_ptr<ZozProjectMember> member) {
    if (member) {
        m_member = std::move(member);
    }
}

void ZozTaskResourceAssignment::setWorkload(std::int64_t workload) {
    m_workload = std::clamp<std::int64_t>(workload, 0, 100);
}

ZozTaskResources& ZozTaskResources::empty() {
    static ZozTaskResources instance{FrozenTag{}};
    return instance;
}

ZozTaskResources::Assignments ZozTaskResources::assignementsSortedByName() const {
    auto sorted = m_assignments;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return a->member()->name() < b->member()->name();
    });
    return sorted;
}

std::shared_ptr<ZozTaskResourceAssignment> ZozTaskResources::at(std::int64_t index) const {
    if (index < 0 || static_cast<std::uint64_t>(index) >= m_assignments.size()) {
        return nullptr;
    }
    return m_assignments[static_cast<std::size_t>(index)];
}

std::int64_t ZozTaskResources::sumOfWorkload() const {
    std::int64_t sum = 0;
    for (const auto& assignment : m_assignments) {
        std::int64_t next = 0;
        // A hostile workload must not wrap the sum around; stop at the range's edge instead.
        if (__builtin_add_overflow(sum, assignment->workload(), &next)) {
            next = assignment->workload() > 0 ? std::numeric_limits<std::int64_t>::max()
                                              : std::numeric_limits<std::int64_t>::min();
        }
        sum = next;
    }
    return sum;
}

double ZozTaskResources::unitsOfWorkload() const {
    if (m_assignments.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (const auto& assignment : m_assignments) {
        sum += static_cast<double>(assignment->workload());
    }
    return sum / 100.0;
}

double ZozTaskResources::averageCostRate() const {
    if (m_assignments.empty()) {
        return 0.0;
    }
    if (m_assignments.size() == 1) {
        return m_assignments.front()->member()->costRate();
    }
    double weighted = 0.0;
    double workloads = 0.0;
    for (const auto& assignment : m_assignments) {
        const auto workload = static_cast<double>(assignment->workload());
        weighted += workload * assignment->member()->costRate();
        workloads += workload;
    }
    if (workloads == 0.0) {
        return 0.0;
    }
    const double rate = weighted / workloads;
    return std::isfinite(rate) ? rate : 0.0;
}

bool ZozTaskResources::isMemberIncluded(std::int64_t memberId) const {
    return std::any_of(m_assignments.begin(), m_assignments.end(),
                       [&](const auto& a) { return a->member()->id() == memberId; });
}

bool ZozTaskResources::isAnyMemberIncluded(const std::vector<std::int64_t>& memberIds) const {
    return std::any_of(memberIds.begin(), memberIds.end(),
                       [&](std::int64_t id) { return isMemberIncluded(id); });
}

std::shared_ptr<ZozTaskResourceAssignment>
ZozTaskResources::getAssignmentByMemberId(std::int64_t memberId) const {
    const auto found = std::find_if(m_assignments.rbegin(), m_assignments.rend(),
                                    [&](const auto& a) { return a->member()->id() == memberId; });
    return found == m_assignments.rend() ? nullptr : *found;
}

void ZozTaskResources::clear() {
    if (!m_frozen) {
        m_assignments.clear();
    }
}

void ZozTaskResources::addOrUpdateResource(const std::shared_ptr<ZozProjectMember>& member,
                                           std::int64_t workload) {
    if (m_frozen || !member) {
        return;
    }
    if (auto existing = getAssignmentByMemberId(member->id())) {
        existing->setWorkload(workload);
        return;
    }
    m_assignments.push_back(std::make_shared<ZozTaskResourceAssignment>(member, workload));
}

std::shared_ptr<ZozTaskResourceAssignment>
ZozTaskResources::appendResource(const std::shared_ptr<ZozProjectMember>& member,
                                 std::int64_t workload) {
    if (m_frozen || !member) {
        return nullptr;
    }
    return m_assignments.emplace_back(
        std::make_shared<ZozTaskResourceAssignment>(member, workload));
}

void ZozTaskResources::remove(std::int64_t memberId) {
    if (m_frozen) {
        return;
    }
    const auto found = std::find_if(m_assignments.begin(), m_assignments.end(),
                                    [&](const auto& a) { return a->member()->id() == memberId; });
    if (found != m_assignments.end()) {
        m_assignments.erase(found);
    }
}

std::string ZozTaskResources::toRowData() const {
    std::string row;
    for (const auto& assignment : m_assignments) {
        row += ',';
        row += std::to_string(assignment->member()->id());
        row += ',';
        row += std::to_string(assignment->workload());
    }
    return row;
}

void ZozTaskResources::fromRowData(std::string_view json, const ZozProjectTeam& team) {
    if (m_frozen) {
        return;
    }
    m_assignments.clear();
    if (core::isBlank(json)) {
        return;
    }
    const auto fields = detail::splitDroppingEmpty(json, ',');
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        const auto memberId = detail::parseInt64Strict(fields[i]);
        const auto workload = detail::parseInt64Strict(fields[i + 1]);
        if (!memberId || !workload || *workload < 1) {
            continue;
        }
        if (auto member = team.get(*memberId)) {
            addOrUpdateResource(member, *workload);
        }
    }
}

void ZozTaskResources::fromRowData(std::string_view json, const ZozProject& project) {
    fromRowData(json, project.team());
}

} // namespace document
