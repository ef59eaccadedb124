#pragma once

#include "document/json_project.hpp"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace document {
class ZozProject;
}

namespace bench {

/// What a synthetic project holds; the same plan and seed always give the same project.
struct ProjectPlan {
    std::uint64_t seed = 1;
    /// Tasks below the root.
    int taskCount = 10'000;
    /// Deepest level of group tasks below the root.
    int maxDepth = 6;
    int memberCount = 300;
    /// Span of the plan in years from its first day.
    int years = 5;
    /// Side in pixels of each member photo (0: no photos).
    int photoSide = 24;

    /// A few tasks, members and weeks: for tests and for the benchmarks' quick runs.
    static ProjectPlan tiny();
    /// 10,000 tasks in groups up to 6 deep, 300 members, 5 years.
    static ProjectPlan large();
    /// `tiny()` on a quick run (see `quickRun`), else `large()`.
    static ProjectPlan forThisRun();
};

/// True when the environment asks for the benchmarks' quick runs (`VT_BENCH_TINY=1`).
bool quickRun();

/// A project as JSON following the plan: groups and sub-projects, leaves with 1 to 3
/// assignments, every kind of work and cost, milestones, links, baselines, web links, calendar
/// exceptions, member photo ids, a cover and a banner image id. Dates are local midnights in the
/// current calendar, starting on 2024-01-01.
document::JsonProject generateJsonProject(const ProjectPlan& plan);

/// The plan's project, mapped from `generateJsonProject` by the document reader's mapper.
std::shared_ptr<document::ZozProject> generateProject(const ProjectPlan& plan);

/// Fills `workingFolder` (created when missing) with the plan's images (JPEG photos, every fifth
/// one as PNG only, a JPEG cover and a PNG banner), saves the generated project's JSON there and
/// packs both with the document writer into `document`. Returns the project it wrote.
std::shared_ptr<document::ZozProject>
writeProjectDocument(const ProjectPlan& plan, const std::filesystem::path& workingFolder,
                     const std::filesystem::path& document);

/// What differs between the callers of `makeThreeWeekProject`.
struct ThreeWeekPlan {
    std::string uid = "uid";
    std::string name = "Three weeks";
    /// The name of the first member (rate 10); the second is "Bob" (rate 20).
    std::string firstMemberName = "Ada";
    /// The materials cost of the fixed-amount task.
    double materialsCost = 25;
};

/// Three weeks from Monday 2024-03-04 in the current calendar: two members and three tasks, one
/// of each work kind (fixed daily work 6 for the first member over days 0-5; by resource for both,
/// the second at 50%, over days 3-12; a fixed amount of 40 with labour cost 300 and the plan's
/// materials cost over days 8-19), so that on days 3 and 4 the first member has more work than a
/// working day holds.
std::shared_ptr<document::ZozProject> makeThreeWeekProject(const ThreeWeekPlan& plan = {});

} // namespace bench
