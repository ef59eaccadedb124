// Loading a document with the manager, against the floor of merely inflating its JSON entry
// into memory and parsing it into a JSON tree, on the ordinary temporary folder and on tmpfs.
#include "bench_timing.hpp"
#include "project_generator.hpp"

#include "document/zoz_project.hpp"
#include "document/zoz_x.hpp"

#include "core/uuid.hpp"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <minizip/unzip.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Fixture {
    fs::path folder;
    fs::path document;
    std::size_t tasks = 0;

    explicit Fixture(const fs::path& base) {
        folder = base / ("bench-document-" + core::Uuid::random().uuidString());
        document = folder / "plan.zoz";
        const bench::ProjectPlan plan = bench::ProjectPlan::forThisRun();
        tasks = static_cast<std::size_t>(plan.taskCount);
        bench::writeProjectDocument(plan, folder / "source", document);
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;

    // A working folder not used before: files deleted moments ago make the next files of the
    // same folder costlier to create on ext4, which a user opening one document never meets.
    fs::path freshWorkingFolder() const {
        return folder / ("working-" + core::Uuid::random().uuidString());
    }
};

Fixture& fixture() {
    static Fixture instance(fs::temp_directory_path());
    return instance;
}

// The floor: inflate "project.moc" into memory and parse it into a JSON tree, nothing more.
std::size_t inflateAndParse(const fs::path& document) {
    unzFile zip = unzOpen64(document.c_str());
    if (zip == nullptr || unzLocateFile(zip, "project.moc", 1) != UNZ_OK ||
        unzOpenCurrentFile(zip) != UNZ_OK) {
        throw std::runtime_error("cannot open project.moc");
    }
    unz_file_info64 info{};
    unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
    std::string text(static_cast<std::size_t>(info.uncompressed_size), '\0');
    const int read = unzReadCurrentFile(zip, text.data(), static_cast<unsigned>(text.size()));
    unzCloseCurrentFile(zip);
    unzClose(zip);
    if (read < 0 || static_cast<std::size_t>(read) != text.size()) {
        throw std::runtime_error("cannot inflate project.moc");
    }
    const nlohmann::json tree = nlohmann::json::parse(text);
    return tree.size();
}

std::size_t loadWithManager(const fs::path& document, const fs::path& working) {
    fs::create_directories(working);
    const auto project =
        document::ZozX::Manager().load(files::VtFile(document), files::VtFolder(working));
    return project->taskCount();
}

void BM_InflateAndParseFloor(benchmark::State& state) {
    const Fixture& f = fixture();
    for (auto _ : state) {
        benchmark::DoNotOptimize(inflateAndParse(f.document));
    }
    state.counters["tasks"] = static_cast<double>(f.tasks);
}

void BM_LoadDocument(benchmark::State& state) {
    const Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path working = f.freshWorkingFolder();
        state.ResumeTiming();
        benchmark::DoNotOptimize(loadWithManager(f.document, working));
    }
    state.counters["tasks"] = static_cast<double>(f.tasks);
}

BENCHMARK(BM_InflateAndParseFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDocument)->Unit(benchmark::kMillisecond);

// The process's peak resident memory in KiB (VmHWM).
std::uintmax_t peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::strtoumax(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

// Resets the peak to the current resident size; false where the kernel does not allow it.
bool resetPeakResident() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();

    // One summary per folder: both timings measured back to back, their ratio and the peak
    // memory of the loads.
    const int runs = bench::quickRun() ? 1 : 7;
    const auto summary = [&](const Fixture& f, const char* where) {
        const double floor = bench::medianMilliseconds(runs, [&] { inflateAndParse(f.document); });
        const std::uintmax_t before = peakResidentKiB();
        // Freed memory goes back to the system and the peak is reset (where the kernel allows
        // it), so that the figure covers the loads alone, not the generation of the document.
        malloc_trim(0);
        const bool reset = resetPeakResident();
        const double load = bench::medianMilliseconds(
            runs, [&] { loadWithManager(f.document, f.freshWorkingFolder()); });
        const std::uintmax_t peak = peakResidentKiB();
        std::printf("%s %s: document of %zu tasks (%ju bytes): load %.1f ms, inflate+parse floor "
                    "%.1f ms, ratio %.2f (goal <= 2.00), peak memory %.1f MiB %s (%.1f MiB "
                    "before)\n",
                    where, f.folder.parent_path().c_str(), f.tasks,
                    static_cast<std::uintmax_t>(fs::file_size(f.document)), load, floor,
                    load / floor, static_cast<double>(peak) / 1024.0,
                    reset ? "while loading" : "in the process",
                    static_cast<double>(before) / 1024.0);
    };
    summary(fixture(), "ordinary temporary folder");
    std::error_code ec;
    if (fs::is_directory("/dev/shm", ec)) {
        const Fixture shm("/dev/shm");
        summary(shm, "tmpfs");
    }
    benchmark::Shutdown();
    return 0;
}
