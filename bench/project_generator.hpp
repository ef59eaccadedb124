#pragma once

#include "document/json_project.hpp"

#include <cstdint>
#include <filesystem>
#include <memory>

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

} // namespace bench
