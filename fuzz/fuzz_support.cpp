#include "fuzz_support.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

namespace fuzz {

void fixEnvironment() {
    setenv("TZ", "Europe/Berlin", 1);
    setenv("LC_ALL", "en_US.UTF-8", 1);
    // Findings are crashes, not log lines, and libFuzzer reports on standard error: silence the
    // log on standard output so the fuzzer runs fast.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::abort();
    }
}

namespace {

// libFuzzer ends a run with exit(), which runs static destructors: the folder goes with the
// process instead of piling up in the temporary folder run after run.
struct OwnedFolder {
    std::filesystem::path path;
    OwnedFolder()
        : path(std::filesystem::temp_directory_path() /
               ("vt-fuzz-" + std::to_string(static_cast<long>(getpid())))) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    OwnedFolder(const OwnedFolder&) = delete;
    OwnedFolder& operator=(const OwnedFolder&) = delete;
    ~OwnedFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

} // namespace

const std::filesystem::path& scratchFolder() {
    static const OwnedFolder folder;
    return folder.path;
}

void writeBytes(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        std::abort();
    }
}

void requireOnly(const std::filesystem::path& folder,
                 std::initializer_list<std::string_view> names) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        bool listed = false;
        for (std::string_view allowed : names) {
            listed = listed || name == allowed;
        }
        if (!listed) {
            std::fprintf(stderr, "stray file left behind: %s\n", entry.path().c_str());
            std::abort();
        }
    }
}

} // namespace fuzz

// Every fuzz program links this file, so they all start from the same environment.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    fuzz::fixEnvironment();
    return 0;
}
