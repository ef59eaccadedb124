// Any bytes as a zip archive: unpacking either succeeds inside its destination or throws the zip
// layer's error, and never writes beside the destination.
#include "fuzz_support.hpp"

#include "files/zip.hpp"

#include <filesystem>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::runInScratch("input.zip", "out", data, size,
                       [](const fs::path& archive, const fs::path& destination) {
                           try {
                               files::Zip::unzipFile(archive, destination, false);
                           } catch (const files::ZipError&) {
                               // Refusing the archive is the expected answer to most inputs.
                           }
                       });
    return 0;
}
