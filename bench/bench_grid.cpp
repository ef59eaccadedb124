// The report grid on the offscreen platform: from the request to open a plan's document to the
// first painted grid, and one 1920 x 1080 viewport painted in the middle of the daily grid, for
// the large generated plan and a 100-task plan, against the floor of parsing the plan's
// project.moc into a JSON tree; and the peak memory of a process holding each plan open.
#include "bench_timing.hpp"
#include "project_generator.hpp"

#include "app/report_grid_view.hpp"
#include "core/uuid.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_x.hpp"
#include "files/vt_path.hpp"
#include "report/report_view_model.hpp"
#include "uikit/qt_main_loop.hpp"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using report::ProjectReport;

constexpr const char* kOpenOnlyFlag = "--open-only=";

bool tiny() {
    const char* value = std::getenv("VT_BENCH_TINY");
    return value != nullptr && std::string(value) == "1";
}

// A plan written as a document, with its project.moc text for the floor.
struct PlanDocument {
    std::string label;
    bench::ProjectPlan plan;
    fs::path document;
    std::string moc;
};

PlanDocument writePlan(const std::string& label, const bench::ProjectPlan& plan,
                       const fs::path& folder) {
    PlanDocument written{label, plan, folder / (label + ".zoz"), {}};
    bench::writeProjectDocument(plan, folder / (label + "-source"), written.document);
    written.moc = document::encodeJsonProjectText(bench::generateJsonProject(plan));
    return written;
}

// One open document: its project, view model and grid, as a window holds them.
struct OpenGrid {
    files::VtFolder workingFolder;
    std::shared_ptr<document::ZozProject> project;
    std::shared_ptr<report::ReportViewModel> model;
    std::unique_ptr<app::ReportGridView> grid;

    explicit OpenGrid(files::VtFolder folder) : workingFolder(std::move(folder)) {}
    OpenGrid(const OpenGrid&) = delete;
    OpenGrid& operator=(const OpenGrid&) = delete;
    ~OpenGrid() {
        grid.reset();
        model.reset();
        project.reset();
        workingFolder.remove();
    }
};

// Waits on the GUI loop until `done` holds; throws after a minute.
template <class F>
void spinUntil(F done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (timer.elapsed() > 60'000) {
            throw std::runtime_error("the grid did not show the report within a minute");
        }
    }
}

// Opens `document` as a window does (a working folder named by a UUID under the temporary
// folder, the document unpacked into it and read, a view model loading cost(all), a grid on
// screen) and returns once the grid has painted the report.
std::unique_ptr<OpenGrid> openAndPaint(const fs::path& document, QSize size) {
    const files::VtFolder folder =
        files::VtFolder::systemTmpFolder().child(core::Uuid::random().uuidString());
    folder.create();
    auto open = std::make_unique<OpenGrid>(folder);
    open->project = document::ZozX::Manager().load(files::VtFile(document), folder);
    open->model = report::ReportViewModel::create();
    open->grid = std::make_unique<app::ReportGridView>(open->model);
    open->grid->resize(size);
    open->grid->show();
    const auto applied = open->grid->snapshotApplications();
    open->model->load(ProjectReport::ValueKind::cost(ProjectReport::CostKind::all), open->project);
    spinUntil([&] {
        return open->grid->snapshotApplications() > applied &&
               open->grid->snapshot()->numberOfSections() > 1;
    });
    QImage image(open->grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    open->grid->viewport()->render(&image);
    return open;
}

// Sizes the grid so its viewport is 1920 x 1080 and scrolls it to the middle of its content.
void showMiddleOfFullHdViewport(app::ReportGridView& grid) {
    grid.resize(1920, 1080);
    QCoreApplication::processEvents();
    const QSize viewport = grid.viewport()->size();
    grid.resize(2 * 1920 - viewport.width(), 2 * 1080 - viewport.height());
    QCoreApplication::processEvents();
    grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum() / 2);
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum() / 2);
}

double paintViewportMilliseconds(app::ReportGridView& grid, QImage& image, int runs) {
    return bench::medianMilliseconds(runs, [&] { grid.viewport()->render(&image); });
}

std::size_t parseFloor(const std::string& moc) {
    return nlohmann::json::parse(moc).size();
}

// The child process of the memory figure: opens the document, paints, prints its peak memory
// in KiB and ends.
int openOnly(const std::string& document) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "bench_grid";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    auto loop = uikit::QtMainLoop::install();
    {
        auto open = openAndPaint(document, QSize(1920, 1080));
        showMiddleOfFullHdViewport(*open->grid);
        QImage image(open->grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
        open->grid->viewport()->render(&image);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%ld\n", usage.ru_maxrss);
    }
    core::installMainLoop(nullptr);
    return 0;
}

// The peak memory, in MiB, of a fresh process that opens `document` and paints it.
double peakMemoryMiB(const std::string& self, const fs::path& document) {
    const std::string command = "'" + self + "' '" + kOpenOnlyFlag + document.string() + "'";
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr) {
        throw std::runtime_error("cannot start the memory probe");
    }
    long kib = -1;
    char line[128];
    while (std::fgets(line, sizeof line, child) != nullptr) {
        long value = 0;
        if (std::sscanf(line, "%ld", &value) == 1) {
            kib = value;
        }
    }
    if (pclose(child) != 0 || kib < 0) {
        throw std::runtime_error("the memory probe failed");
    }
    return static_cast<double>(kib) / 1024.0;
}

struct Figures {
    double floor = 0;
    double open = 0;
    double viewport = 0;
    double memory = 0;
    std::size_t sections = 0;
    std::size_t items = 0;
};

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind(kOpenOnlyFlag, 0) == 0) {
            return openOnly(argument.substr(std::string(kOpenOnlyFlag).size()));
        }
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    auto loop = uikit::QtMainLoop::install();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }

    const fs::path folder =
        fs::temp_directory_path() / ("bench-grid-" + core::Uuid::random().uuidString());
    fs::create_directories(folder);
    bench::ProjectPlan large = tiny() ? bench::ProjectPlan::tiny() : bench::ProjectPlan::large();
    bench::ProjectPlan small = large;
    small.taskCount = tiny() ? 10 : 100;
    small.seed = 2;
    std::vector<PlanDocument> plans{writePlan("large", large, folder),
                                    writePlan("small", small, folder)};

    for (const PlanDocument& plan : plans) {
        benchmark::RegisterBenchmark(("BM_ParseProjectMocFloor/" + plan.label).c_str(),
                                     [&plan](benchmark::State& state) {
                                         for (auto _ : state) {
                                             benchmark::DoNotOptimize(parseFloor(plan.moc));
                                         }
                                     })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_OpenToFirstPaintedGrid/" + plan.label).c_str(),
                                     [&plan](benchmark::State& state) {
                                         for (auto _ : state) {
                                             auto open = openAndPaint(plan.document, {1280, 800});
                                             state.PauseTiming();
                                             open.reset();
                                             state.ResumeTiming();
                                         }
                                     })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
        benchmark::RegisterBenchmark(("BM_PaintFullHdViewportInTheMiddle/" + plan.label).c_str(),
                                     [&plan](benchmark::State& state) {
                                         auto open = openAndPaint(plan.document, {1280, 800});
                                         showMiddleOfFullHdViewport(*open->grid);
                                         QImage image(open->grid->viewport()->size(),
                                                      QImage::Format_ARGB32_Premultiplied);
                                         for (auto _ : state) {
                                             open->grid->viewport()->render(&image);
                                         }
                                     })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();

    // One summary from this run: every figure measured back to back with its plan's floor.
    const int runs = tiny() ? 1 : 5;
    std::vector<Figures> figures;
    for (const PlanDocument& plan : plans) {
        Figures f;
        f.floor = bench::medianMilliseconds(runs, [&] { parseFloor(plan.moc); });
        f.open = bench::medianMilliseconds(tiny() ? 1 : 3, [&] {
            auto open = openAndPaint(plan.document, {1280, 800});
            f.sections = open->grid->snapshot()->numberOfSections();
            f.items = open->grid->snapshot()->numberOfItems();
        });
        auto open = openAndPaint(plan.document, {1280, 800});
        showMiddleOfFullHdViewport(*open->grid);
        QImage image(open->grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
        f.viewport = paintViewportMilliseconds(*open->grid, image, tiny() ? 1 : 25);
        open.reset();
        f.memory = peakMemoryMiB(argv[0], plan.document);
        figures.push_back(f);
    }

    const Figures& big = figures[0];
    const Figures& little = figures[1];
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const PlanDocument& plan = plans[i];
        const Figures& f = figures[i];
        std::printf("%s plan: %d tasks, %d members, %d years; %zu grid rows, %zu cells; "
                    "project.moc %zu bytes\n",
                    plan.label.c_str(), plan.plan.taskCount, plan.plan.memberCount, plan.plan.years,
                    f.sections, f.items, plan.moc.size());
        std::printf("  floor (parse project.moc into a JSON tree): %8.1f ms\n", f.floor);
        std::printf("  open request to first painted grid:         %8.1f ms = %.2f x floor "
                    "(goal <= 3.5)\n",
                    f.open, f.open / f.floor);
        std::printf("  paint a 1920 x 1080 viewport in the middle: %8.2f ms = %.3f x floor "
                    "(goal <= 0.1)\n",
                    f.viewport, f.viewport / f.floor);
        std::printf("  peak memory of a process with the plan open: %.1f MiB (goal <= 200)\n",
                    f.memory);
    }
    std::printf("viewport paint, large plan against the %d-task plan: %.2f x (goal <= 1.5)\n",
                plans[1].plan.taskCount, big.viewport / little.viewport);

    fs::remove_all(folder);
    benchmark::Shutdown();
    core::installMainLoop(nullptr);
    return 0;
}
