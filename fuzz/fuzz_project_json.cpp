// Any bytes as the text of "project.moc": strict decoding, then mapping onto the project model,
// either succeed or throw the document's typed errors.
#include "fuzz_support.hpp"

#include "core/error.hpp"
#include "document/data_map_service.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        if (auto json = document::decodeJsonProject(text)) {
            // Null is the mapper's answer to a project without "Uid".
            if (auto project = document::DataMapService::map(*json)) {
                // Reading the mapped tree back exercises the getters that fill caches.
                (void)document::DataMapService::mapToJsonProject(*project);
            }
        }
    } catch (const core::Error&) {
        // Every refusal of the reader is one of our typed errors.
    }
    return 0;
}
