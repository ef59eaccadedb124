// Any bytes as a whole document, loaded the way the application loads it: the images are checked
// during the load and written afterwards by the library's image writer. Loading it into a working
// folder and building its daily report either succeeds or throws a typed error, leaves nothing
// beside the working folder, removes that folder when the writing is stopped, and stays within the
// fuzzer's memory limit.
#include "fuzz_support.hpp"

#include "core/error.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_x.hpp"
#include "files/vt_path.hpp"
#include "report/project_report.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::runInScratch(
        "input.zoz", "working", data, size, [](const fs::path& document, const fs::path& working) {
            fs::create_directories(working);
            std::optional<document::ZozX::PendingImages> images;
            try {
                auto loaded = document::ZozX::Manager().loadDeferringImages(
                    files::VtFile(document), files::VtFolder(working), {});
                images.emplace(loaded.images);
                // Waited for rather than stopped at once: a stop skips the images not begun, and
                // writing them is what this input is here to try.
                images->wait();
                (void)report::ProjectReport::make(report::Period::Kind::day, *loaded.project);
            } catch (const core::Error&) {
                // A refused document is an expected answer.
            }
            if (!images) {
                return;
            }
            // As the application closes a document: the folder goes only after the writer's
            // last image, so it must be gone once every writing has ended.
            images->stop([working] {
                std::error_code failed;
                fs::remove_all(working, failed);
            });
            document::ZozX::PendingImages::waitForAll();
            if (fs::exists(working)) {
                std::fprintf(stderr, "the working folder outlived its writing: %s\n",
                             working.c_str());
                std::abort();
            }
        });
    return 0;
}
