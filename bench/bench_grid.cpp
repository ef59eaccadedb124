// The report grid on the offscreen platform: from the request to open a plan's document to the
// first painted grid, and one 1920 x 1080 viewport painted in the middle of the daily grid, for
// the large generated plan and a 100-task plan, against the floor of parsing the plan's
// project.moc into a JSON tree; and the peak memory of a process holding each plan open. Every
// time is given as the median and spread of several runs.
#include "bench_timing.hpp"
#include "project_generator.hpp"

#include "app/app_font.hpp"
#include "app/document_page.hpp"
#include "app/report_grid_view.hpp"
#include "app/report_window.hpp"
#include "core/uuid.hpp"
#include "document/json_coding.hpp"
#include "report/report_view_model.hpp"
#include "uikit/qt_main_loop.hpp"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kOpenOnlyFlag = "--open-only=";

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

// One window holding an open document.
struct OpenGrid {
    app::ReportWindow window;
    /// Milliseconds from the open request until the document's page showed.
    double pageShown = 0;
    /// Milliseconds from the open request until the grid had painted the report.
    double painted = 0;

    app::ReportGridView& grid() { return *window.documentPage()->grid(); }
};

// Waits on the GUI loop until `done` holds, sleeping between events so that the background
// work it waits for has the processor; throws after a minute.
template <class F>
void spinUntil(F done) {
    QElapsedTimer timer;
    timer.start();
    QTimer tick; // wakes the loop now and then, so the time limit is checked
    tick.start(10);
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (timer.elapsed() > 60'000) {
            throw std::runtime_error("the grid did not show the report within a minute");
        }
    }
}

// Asks a new window to open `document` (as choosing it on the welcome screen does) and returns
// once its grid has painted the report.
std::unique_ptr<OpenGrid> openAndPaint(const fs::path& document, QSize size) {
    auto open = std::make_unique<OpenGrid>();
    open->window.resize(size);
    open->window.show();
    QElapsedTimer clock;
    clock.start();
    open->window.openDocument(QString::fromStdString(document.string()));
    spinUntil([&] { return open->window.documentPage() != nullptr; });
    open->pageShown = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    spinUntil([&] {
        const auto* page = open->window.documentPage();
        return page != nullptr && page->grid()->snapshot() &&
               page->grid()->snapshot()->numberOfSections() > 1;
    });
    QImage image(open->grid().viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    open->grid().viewport()->render(&image);
    open->painted = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    return open;
}

// Closes the window, then waits for its document's images to be written and its working folder
// removed, so that one opening's disk work does not run into the next one's timing.
void closeAndSettle(std::unique_ptr<OpenGrid>& open) {
    open.reset();
    QCoreApplication::processEvents();
    app::ReportWindow::waitForLoadsInFlight();
}

// Sizes the window so the grid's viewport is 1920 x 1080 and scrolls it to the middle of its
// content.
void showMiddleOfFullHdViewport(OpenGrid& open) {
    app::ReportGridView& grid = open.grid();
    for (int step = 0; step < 3 && grid.viewport()->size() != QSize(1920, 1080); ++step) {
        const QSize viewport = grid.viewport()->size();
        open.window.resize(open.window.size() + QSize(1920, 1080) - viewport);
        QCoreApplication::processEvents();
    }
    if (grid.viewport()->size() != QSize(1920, 1080)) {
        throw std::runtime_error("the grid's viewport cannot be made 1920 x 1080");
    }
    grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum() / 2);
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum() / 2);
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
    app::AppFont::registerFonts();
    auto loop = uikit::QtMainLoop::install();
    {
        auto open = openAndPaint(document, QSize(1920, 1080));
        showMiddleOfFullHdViewport(*open);
        QImage image(open->grid().viewport()->size(), QImage::Format_ARGB32_Premultiplied);
        open->grid().viewport()->render(&image);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%ld\n", usage.ru_maxrss);
        closeAndSettle(open);
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
    std::vector<double> floors;
    std::vector<double> opens;
    std::vector<double> pagesShown;
    std::vector<double> viewports;
    double memory = 0;
    std::size_t sections = 0;
    std::size_t items = 0;
};

// One figure: its median and spread, and as a multiple of the floor measured beside each run.
void printFigure(const char* label, const std::vector<double>& times,
                 const std::vector<double>& floors, int decimals, const char* goal) {
    std::printf("  %-44s %s ms\n", label, bench::Spread::of(times).text(decimals).c_str());
    std::printf("  %-44s %s\n", goal,
                bench::Spread::of(bench::ratios(times, floors)).text(decimals + 1).c_str());
}

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
    // The cells draw their numbers in the application's font, as the program does.
    app::AppFont::registerFonts();
    auto loop = uikit::QtMainLoop::install();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }

    const fs::path folder =
        fs::temp_directory_path() / ("bench-grid-" + core::Uuid::random().uuidString());
    fs::create_directories(folder);
    bench::ProjectPlan large = bench::ProjectPlan::forThisRun();
    bench::ProjectPlan small = large;
    small.taskCount = bench::quickRun() ? 10 : 100;
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
                                             closeAndSettle(open);
                                             state.ResumeTiming();
                                         }
                                     })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
        benchmark::RegisterBenchmark(("BM_PaintFullHdViewportInTheMiddle/" + plan.label).c_str(),
                                     [&plan](benchmark::State& state) {
                                         auto open = openAndPaint(plan.document, {1280, 800});
                                         showMiddleOfFullHdViewport(*open);
                                         QImage image(open->grid().viewport()->size(),
                                                      QImage::Format_ARGB32_Premultiplied);
                                         for (auto _ : state) {
                                             open->grid().viewport()->render(&image);
                                         }
                                         closeAndSettle(open);
                                     })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();

    // One summary from this run. Each opening follows a measurement of its plan's floor, so
    // that a ratio compares two timings taken under the same load of a shared machine.
    const int runs = bench::quickRun() ? 1 : 5;
    // Each run's floor is the median of a few parses, so that one slow parse does not make the
    // run's ratio.
    const int floorRuns = bench::quickRun() ? 1 : 3;
    std::vector<Figures> figures;
    for (const PlanDocument& plan : plans) {
        Figures f;
        for (int i = 0; i < runs; ++i) {
            f.floors.push_back(bench::medianMilliseconds(floorRuns, [&] { parseFloor(plan.moc); }));
            auto open = openAndPaint(plan.document, {1280, 800});
            f.opens.push_back(open->painted);
            f.pagesShown.push_back(open->pageShown);
            f.sections = open->grid().snapshot()->numberOfSections();
            f.items = open->grid().snapshot()->numberOfItems();
            closeAndSettle(open);
        }
        auto open = openAndPaint(plan.document, {1280, 800});
        showMiddleOfFullHdViewport(*open);
        QImage image(open->grid().viewport()->size(), QImage::Format_ARGB32_Premultiplied);
        const int paints = bench::quickRun() ? 1 : 25;
        f.viewports =
            bench::millisecondRuns(paints, [&] { open->grid().viewport()->render(&image); });
        closeAndSettle(open);
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
        std::printf("  %-44s %s ms\n", "floor (parse project.moc into a JSON tree):",
                    bench::Spread::of(f.floors).text().c_str());
        // The goals hold for the large plan; the small one's floor is too short to be a measure.
        const bool goalsHold = i == 0;
        printFigure("open request to first painted grid:", f.opens, f.floors, 1,
                    goalsHold ? "  x floor (goal <= 3.0):" : "  x floor:");
        printFigure("of which the opening, until its page shows:", f.pagesShown, f.floors, 1,
                    "  x floor:");
        // The viewport's paints run one after another, against the median floor.
        const double floor = bench::Spread::of(f.floors).median;
        std::printf("  %-44s %s ms\n", "paint a 1920 x 1080 viewport in the middle:",
                    bench::Spread::of(f.viewports).text(2).c_str());
        std::printf("  %-44s %s\n",
                    goalsHold ? "  x median floor (goal <= 0.1):" : "  x median floor:",
                    bench::Spread::of(
                        bench::ratios(f.viewports, std::vector<double>(f.viewports.size(), floor)))
                        .text(3)
                        .c_str());
        std::printf("  peak memory of a process with the plan open: %.1f MiB (goal <= 200)\n",
                    f.memory);
    }
    std::printf("viewport paint, large plan against the %d-task plan: %.2f x medians (goal <= "
                "1.5)\n",
                plans[1].plan.taskCount,
                bench::Spread::of(big.viewports).median /
                    bench::Spread::of(little.viewports).median);

    app::ReportWindow::waitForLoadsInFlight();
    fs::remove_all(folder);
    benchmark::Shutdown();
    core::installMainLoop(nullptr);
    return 0;
}
