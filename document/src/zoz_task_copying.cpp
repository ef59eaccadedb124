#include "document/zoz_task_copying.hpp"

#include "document/date_baseline.hpp"
#include "document/zoz_project.hpp"

#include "core/log.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace document {

namespace {

constexpr ZozProjectTaskPropertyCopyingCategories kWholeTaskCategories{
    /*type=*/true,        /*date=*/false, /*percentage=*/true,     /*dateBaseline=*/true,
    /*assignment=*/false, /*work=*/true,  /*workPercentage=*/true, /*cost=*/true,
    /*contactor=*/false,  /*urls=*/true,  /*icon=*/true,           /*color=*/true};

constexpr ZozProjectTaskPropertyCopyingCategories kMemberShareCategories{
    /*type=*/true,         /*date=*/false, /*percentage=*/true,
    /*dateBaseline=*/true,
    /*assignment=*/false,  /*work=*/false, /*workPercentage=*/false,
    /*cost=*/false,
    /*contactor=*/false,   /*urls=*/true,  /*icon=*/true,
    /*color=*/true};

void warnMemberNotCloned(const ZozProjectMember& member, core::LogLocation at) {
    core::Log::warning(
        [&] {
            return "Clone incorrect, as member \"" + member.name() + "\" is not cloned correctly";
        },
        at);
}

// Copies only the baseline's dates: creating an empty baseline on a source that has none would
// change the source for nothing.
void copyBaselineDates(ZozProjectTask& source, ZozProjectTask& target) {
    if (const auto& from = source.storedDateBaseline()) {
        target.dateBaseline()->copyDates(*from);
    } else if (const auto& to = target.storedDateBaseline()) {
        to->copyDates(DateBaseline(std::weak_ptr<ZozProjectTask>()));
    }
}

ZozProjectTask::Ptr makeCopy(ZozProjectTask& source, const std::shared_ptr<ZozProject>& toProject) {
    return ZozProjectTask::create(toProject, nullptr, source.id(), source.start(), source.finish());
}

// The member of `team` that stands for `member` in the other project, by id.
std::shared_ptr<ZozProjectMember> counterpart(const ZozProjectTeam& team,
                                              const ZozProjectMember& member) {
    return team.get(member.id());
}

} // namespace

void copyProperties(ZozProjectTask& source, ZozProjectTask& target,
                    const ZozProjectTaskPropertyCopyingCategories& withoutLinkAndChildren) {
    const auto& categories = withoutLinkAndChildren;
    target.setName(source.name());
    if (categories.type()) {
        target.setTaskType(source.type());
    }
    if (categories.date()) {
        target.setStart(source.start());
        target.setFinish(source.finish());
    }
    if (categories.percentage()) {
        target.setCompletedPercentage(source.completePercentage());
    }
    if (categories.dateBaseline()) {
        copyBaselineDates(source, target);
    }
    if (categories.assignment()) {
        auto& from = source.resources();
        if (!from.isEmpty() && &from != &target.resources()) {
            auto& to = target.resources();
            for (const auto& assignment : from.assignments()) {
                to.addOrUpdateResource(assignment->member(), assignment->workload());
            }
        }
    }
    if (categories.work() && !target.hasChilds()) {
        target.setWork(source.workData());
    }
    if (categories.workPercentage()) {
        target.setWorkCompletedPercentage(source.workCompletePercentage());
    }
    if (categories.cost()) {
        target.setLaborCost(source.costData().laborCost);
        target.setMaterialsCost(source.materialsCost());
    }
    if (categories.contactor() && source.contactor()) {
        target.setContactor(source.contactor());
    }
    if (categories.urls()) {
        target.setUrl1(source.url1());
        target.setUrl2(source.url2());
    }
    if (categories.icon()) {
        target.setIcon(source.iconIndex());
    }
    if (categories.color()) {
        target.color().copy(source.color());
    }
}

ZozProjectTask::Ptr
clonePropertyExceptChildrenAndLinkToOtherProject(ZozProjectTask& source,
                                                 const std::shared_ptr<ZozProject>& toProject) {
    const auto at =
        core::LogLocation::named("clonePropertyExceptChildrenAndLinkToOtherProject(toProject:)");
    auto copy = makeCopy(source, toProject);
    copyProperties(source, *copy, kWholeTaskCategories);

    const auto& team = toProject->team();
    if (auto& from = source.resources(); !from.isEmpty()) {
        auto& to = copy->resources();
        for (const auto& assignment : from.assignments()) {
            if (const auto member = counterpart(team, *assignment->member())) {
                to.addOrUpdateResource(member, assignment->workload());
            } else {
                warnMemberNotCloned(*assignment->member(), at);
            }
        }
    }
    if (const auto& contactor = source.contactor()) {
        if (auto member = counterpart(team, *contactor)) {
            copy->setContactor(std::move(member));
        } else {
            warnMemberNotCloned(*contactor, at);
        }
    }
    return copy;
}

ZozProjectTask::Ptr cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(
    ZozProjectTask& source, const std::shared_ptr<ZozProject>& toProject,
    const std::vector<std::int64_t>& memberIds) {
    const auto at = core::LogLocation::named(
        "cloneSingleTaskPropertyExceptChildrenAndLinkToOtherProjectForZozProjectMembers(toProject:"
        "memberIds:)");
    if (!source.isSingleTask()) {
        return nullptr;
    }
    auto& from = source.resources();
    // An id named twice must not count its member's workload twice.
    std::vector<std::shared_ptr<ZozTaskResourceAssignment>> chosen;
    for (const auto id : memberIds) {
        auto assignment = from.getAssignmentByMemberId(id);
        if (assignment && std::find(chosen.begin(), chosen.end(), assignment) == chosen.end()) {
            chosen.push_back(std::move(assignment));
        }
    }
    if (chosen.empty()) {
        return nullptr;
    }

    auto copy = makeCopy(source, toProject);
    copyProperties(source, *copy, kMemberShareCategories);

    const auto& team = toProject->team();
    auto& to = copy->resources();
    for (const auto& assignment : chosen) {
        if (const auto member = counterpart(team, *assignment->member())) {
            to.addOrUpdateResource(member, assignment->workload());
        } else {
            warnMemberNotCloned(*assignment->member(), at);
        }
    }

    // The share of the workload the chosen members carry. When every workload is 0 that share is
    // 0/0, so the chosen members' share of the head count stands in for it.
    const double sourceUnits = from.unitsOfWorkload();
    double ratio = sourceUnits != 0.0 ? to.unitsOfWorkload() / sourceUnits : 0.0;
    if (sourceUnits == 0.0 || !std::isfinite(ratio)) {
        ratio = static_cast<double>(to.assignments().size()) /
                static_cast<double>(from.assignments().size());
    }

    const auto& work = source.workData();
    if (work.isFixDailyWork()) {
        copy->setWork(ZozTaskWork::fixDailyWork(work.amount() * ratio));
    } else if (work.isFixAmount()) {
        copy->setWork(ZozTaskWork::fixAmount(work.amount() * ratio));
    } else {
        copy->setWork(ZozTaskWork::byResource());
    }
    copy->setWorkCompletedPercentage(source.workCompletePercentage());

    const auto& laborCost = source.costData().laborCost;
    copy->setLaborCost(laborCost.isFix() ? ZozTaskLaborCost::fix(laborCost.amount() * ratio)
                                         : ZozTaskLaborCost::automatic());
    copy->setMaterialsCost(source.materialsCost() * ratio);
    return copy;
}

} // namespace document
