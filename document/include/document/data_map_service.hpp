#pragma once

#include "document/json_project.hpp"

#include <memory>

namespace document {

class ZozProject;
class ZozProjectTask;

/// The mapping between the project JSON and the project model, both ways.
namespace DataMapService {

/// A new project built from the JSON: team, calendar, task tree, group values, links and
/// sequence numbers. Null when "Uid" is missing, or (logged) when a task's dates or baseline lie
/// outside the document's valid date range.
std::shared_ptr<ZozProject> map(const JsonProject& jsonProject);

/// The project as JSON; its task tree is included when `includeTaskTree` is true. Reading the
/// root or the calendar creates them when the project has none yet.
JsonProject mapToJsonProject(ZozProject& project, bool includeTaskTree = true);

/// The task as JSON; its subtree is included when `includeChildren` is true.
JsonTask mapToJsonTask(ZozProjectTask& task, bool includeChildren = true);

} // namespace DataMapService

} // namespace document
