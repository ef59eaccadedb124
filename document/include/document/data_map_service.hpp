#pragma once

#include "document/json_project.hpp"

#include <memory>

namespace document {

class ZozProject;
class ZozProjectTask;

/// The mapping between the project JSON and the project model, both ways.
namespace DataMapService {

/// A new project built from the JSON: team, calendar, task tree, group values, links and
/// sequence numbers. Absent (with a logged reason) when "Uid" is missing or a task date lies
/// outside the document's valid date range.
std::shared_ptr<ZozProject> map(const JsonProject& jsonProject);

/// The project as JSON; its task tree is included when `includeTaskTree` is true.
JsonProject mapToJsonProject(const ZozProject& project, bool includeTaskTree = true);

/// The task as JSON; its subtree is included when `includeChildren` is true.
JsonTask mapToJsonTask(const ZozProjectTask& task, bool includeChildren = true);

} // namespace DataMapService

} // namespace document
