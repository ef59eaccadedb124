// Any bytes as a zip archive: unpacking either succeeds inside its destination or throws the zip
// layer's error, and never writes beside the destination.
#include "fuzz_support.hpp"

#include "files/zip.hpp"

#include <filesystem>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path root = fuzz::scratchFolder();
    const fs::path archive = root / "input.zip";
    const fs::path destination = root / "out";
    fuzz::writeBytes(archive, data, size);
    try {
        files::Zip::unzipFile(archive, destination, false);
    } catch (const files::ZipError&) {
        // Refusing the archive is the expected answer to most inputs.
    }
    fuzz::requireOnly(root, {"input.zip", "out"});
    fs::remove_all(destination);
    return 0;
}
