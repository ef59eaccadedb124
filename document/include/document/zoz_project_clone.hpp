#pragma once

#include "document/zoz_project.hpp"

#include "core/date.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace document {

// Each clone is a new, independent project: a fresh uid and version, the source's display and
// cost settings, its own team and a calendar with the source's working days, and copies of the
// chosen tasks (keeping their ids) in a tree, dictionary and links of their own. Only the part of
// the tree under `fromRootTask` (the source's root when null, created if the source has none) is
// looked at; links are kept only between copied tasks. Nothing is thrown: a tree that cannot be
// rebuilt is reported by warnings and the affected tasks are left out. Apart from creating its
// root or calendar when absent, the source is left as it was. Every walk is iterative, so any
// tree depth is safe.

/// The share of the members `forProjectmemberIdentifiers` (in list order; unknown and repeated
/// ids skipped): their single tasks, holding only their assignments and scaled work and costs,
/// under copies of the groups above them, or straight under the root when `exportAsTodoList`;
/// milestones only when `includeMilestone` and not a to-do list. With no member selected, the
/// whole team and every task (groups and milestones as just said for a to-do list).
std::shared_ptr<ZozProject>
clone(ZozProject& source, const ZozProjectTask::Ptr& fromRootTask, std::string projectName,
      const std::optional<std::vector<std::int64_t>>& forProjectmemberIdentifiers,
      bool exportAsTodoList, bool includeMilestone);

/// The tasks overlapping the days `inDateRangeStart` to `inDateRangeFinish` (both included), in
/// their tree; with `clipPartialIncludedTasks` a copy reaching outside is cut to the range.
std::shared_ptr<ZozProject> clone(ZozProject& source, const ZozProjectTask::Ptr& fromRootTask,
                                  std::string projectName, core::Date inDateRangeStart,
                                  core::Date inDateRangeFinish, bool clipPartialIncludedTasks);

/// A copy of the root holding copies of `singleTasks` (in order, without their children) as its
/// children; a task whose id is already in the clone (the root's included) is left out with a
/// warning.
std::shared_ptr<ZozProject> clone(ZozProject& source, const ZozProjectTask::Ptr& fromRootTask,
                                  const std::vector<ZozProjectTask::Ptr>& singleTasks,
                                  std::string projectName);

} // namespace document
