// Opening a document with the manager as the application does (the project mapped and every
// image entry checked, its images then written in the background), and loading it with every
// image written before the load returns, against the floor of merely inflating its JSON entry
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

    // A working folder not used before, and kept until the end. (On ext4 without a journal, a
    // new file skips, one lookup each, the free inodes of its block group freed in the last
    // minute, or six while their inode table block is not yet written back: deleting folders
    // between runs would slow the runs that follow.)
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

// Times of one opening: until the project was returned, and until its images were written.
struct Opening {
    double opened = 0;
    double imagesWritten = 0;
};

// Opens the document as the application does and waits for its images.
Opening openWithManager(const fs::path& document, const fs::path& working) {
    fs::create_directories(working);
    const auto start = std::chrono::steady_clock::now();
    const auto loaded = document::ZozX::Manager().loadDeferringImages(
        files::VtFile(document), files::VtFolder(working),
        [](const std::shared_ptr<document::ZozProject>&) {});
    Opening times;
    times.opened = bench::millisecondsSince(start);
    loaded.images.wait();
    times.imagesWritten = bench::millisecondsSince(start);
    return times;
}

// Loads the document with every image written before the load returns.
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

// Until the project is returned; the images are waited for outside the timing.
void BM_OpenDocument(benchmark::State& state) {
    const Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path working = f.freshWorkingFolder();
        fs::create_directories(working);
        state.ResumeTiming();
        const auto loaded = document::ZozX::Manager().loadDeferringImages(
            files::VtFile(f.document), files::VtFolder(working),
            [](const std::shared_ptr<document::ZozProject>&) {});
        state.PauseTiming();
        loaded.images.wait();
        state.ResumeTiming();
    }
    state.counters["tasks"] = static_cast<double>(f.tasks);
}

void BM_LoadDocumentWritingItsImages(benchmark::State& state) {
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
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDocumentWritingItsImages)->Unit(benchmark::kMillisecond);

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

    // One summary per folder. Each run measures the floor, then opens the document beside it,
    // so that a ratio compares two timings taken under the same load of a shared machine.
    const int runs = bench::quickRun() ? 1 : 7;
    // Each run's floor is the median of a few, so that one slow inflation does not make the
    // run's ratio.
    const int floorRuns = bench::quickRun() ? 1 : 3;
    const auto summary = [&](const Fixture& f, const char* where) {
        std::vector<double> floors;
        std::vector<double> opened;
        std::vector<double> written;
        std::vector<double> loaded;
        for (int i = 0; i < runs; ++i) {
            floors.push_back(
                bench::medianMilliseconds(floorRuns, [&] { inflateAndParse(f.document); }));
            const Opening times = openWithManager(f.document, f.freshWorkingFolder());
            opened.push_back(times.opened);
            written.push_back(times.imagesWritten);
            loaded.push_back(bench::millisecondRuns(1, [&] {
                                 loadWithManager(f.document, f.freshWorkingFolder());
                             }).front());
        }
        const std::uintmax_t before = peakResidentKiB();
        // Freed memory goes back to the system and the peak is reset (where the kernel allows
        // it), so that the figure covers one opening and one load alone, not the generation of
        // the document nor the floor's JSON tree.
        malloc_trim(0);
        const bool reset = resetPeakResident();
        openWithManager(f.document, f.freshWorkingFolder());
        loadWithManager(f.document, f.freshWorkingFolder());
        const std::uintmax_t peak = peakResidentKiB();
        std::printf("%s %s: document of %zu tasks (%ju bytes)\n", where,
                    f.folder.parent_path().c_str(), f.tasks,
                    static_cast<std::uintmax_t>(fs::file_size(f.document)));
        const auto line = [](const char* label, const std::vector<double>& samples, int decimals,
                             const char* unit) {
            std::printf("  %-46s %s%s\n", label, bench::Spread::of(samples).text(decimals).c_str(),
                        unit);
        };
        line("floor (inflate and parse project.moc):", floors, 1, " ms");
        line("opening, until the project is ready:", opened, 1, " ms");
        line("  x floor (goal <= 2.00):", bench::ratios(opened, floors), 2, "");
        line("opening, until its images are written too:", written, 1, " ms");
        line("  x floor:", bench::ratios(written, floors), 2, "");
        line("load writing every image before it returns:", loaded, 1, " ms");
        line("  x floor:", bench::ratios(loaded, floors), 2, "");
        std::printf("  peak memory %.1f MiB %s (%.1f MiB before)\n",
                    static_cast<double>(peak) / 1024.0, reset ? "while loading" : "in the process",
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
