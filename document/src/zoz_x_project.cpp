#include "document/data_map_service.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_x.hpp"

namespace document::ZozX {

std::optional<std::string> Manager::jsonString(ZozProject& project, bool prettyPrint) const {
    try {
        return encodeJsonProjectText(DataMapService::mapToJsonProject(project, true), prettyPrint);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void Manager::saveProject(ZozProject& project, const files::VtFolder& workingFolder) const {
    saveAsJsonFile(DataMapService::mapToJsonProject(project, true),
                   ProjectWorkingFolder(workingFolder).jsonFile());
}

void Manager::zozFile(ZozProject& project, const files::VtFolder& workingFolder,
                      const files::VtFile& target) const {
    // The name and image ids are all the packing needs; the task tree is left out.
    zozFile(DataMapService::mapToJsonProject(project, false), workingFolder, target);
}

} // namespace document::ZozX
