// Any bytes as a whole document: loading it into a working folder and building its daily report
// either succeeds or throws a typed error, leaves nothing beside the working folder and stays
// within the fuzzer's memory limit.
#include "fuzz_support.hpp"

#include "core/error.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_x.hpp"
#include "files/vt_path.hpp"
#include "report/project_report.hpp"

#include <filesystem>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::runInScratch(
        "input.zoz", "working", data, size, [](const fs::path& document, const fs::path& working) {
            fs::create_directories(working);
            try {
                auto project = document::ZozX::Manager().load(files::VtFile(document),
                                                              files::VtFolder(working));
                (void)report::ProjectReport::make(report::Period::Kind::day, *project);
            } catch (const core::Error&) {
                // A refused document is an expected answer.
            }
        });
    return 0;
}
